#pragma once
// The one table of the viewer's keys: read by --help (and so by the man page) and by the key
// reference that H shows.
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

// The lines that H draws over the view: a heading, then the key table.
std::vector<std::string> KeyReferenceLines();

}  // namespace app
