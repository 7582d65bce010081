#include "app/runs/TerminalText.h"

namespace app {

std::string TerminalText(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(bytes[i]);
    if (byte < 0x20 || byte == 0x7f) {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else if (byte == '\\' && i + 1 < bytes.size() && bytes[i + 1] == 'x') {
      // Only where it could be mistaken for an escape: Windows-style paths stay readable.
      out += "\\\\";
    } else {
      out += static_cast<char>(byte);
    }
  }
  return out;
}

}  // namespace app
