#pragma once
// What the program tells a person who needs help: the one table of the viewer's keys (read by
// --help, and so by the man page, and by the key reference that H shows), the closing sections of
// --help, and the names to suggest for a mistyped option or level.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace app {

struct TKeyRow {
  const char* Keys;    // as a person names them: "F1", "E, Space"
  const char* Action;
  // The virtual-key codes of the row (0: none; the mouse has none).
  std::array<std::uint16_t, 2> Codes;
};

// Every key of the viewer, one row each; a new key is a new row here.
std::span<const TKeyRow> KeyTable();

// The rows as lines: `indent`, the keys padded to `keyColumn` characters (at least one space
// after the longest), the action.
std::vector<std::string> KeyLines(const std::string& indent, std::size_t keyColumn);

// The text after the options in --help: the keys, the exit status, the environment and examples,
// each headed by a "*Heading*" line, which help2man turns into a section of the man page.
std::string HelpFooter(std::size_t keyColumn);

// The lines that H draws over the view: a heading, then the key table.
std::vector<std::string> KeyReferenceLines();

// The candidates close to `typed`, closest first, at most `most`: an edit distance (insert,
// delete or change one character; letter case ignored) of at most half the typed length and at
// most 3, or the typed text (3 characters or more) found inside the candidate. Ties keep the
// candidates' order. Texts over 255 characters are never close.
std::vector<std::string> CloseNames(const std::string& typed,
                                    const std::vector<std::string>& candidates, std::size_t most);

}  // namespace app
