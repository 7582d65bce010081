#pragma once
// What the program tells a person who needs help: the closing sections of --help (with the viewer's
// key table, app/viewer/KeyTable.h), and the names to suggest for a mistyped option or level.
#include <cstddef>
#include <string>
#include <vector>

namespace app {

// The text after the options in --help: the keys, the exit status, the environment and examples,
// each headed by a "*Heading*" line, which help2man turns into a section of the man page.
std::string HelpFooter(std::size_t keyColumn);

// The candidates close to `typed`, closest first, at most `most`: an edit distance (insert,
// delete or change one character; letter case ignored) of at most half the typed length and at
// most 3, or the typed text (3 characters or more) found inside the candidate. Ties keep the
// candidates' order. Texts over 255 characters are never close.
std::vector<std::string> CloseNames(const std::string& typed,
                                    const std::vector<std::string>& candidates, std::size_t most);

}  // namespace app
