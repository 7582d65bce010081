#include "app/runs/Json.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace app {

TJson JsonText(const std::string& bytes) { return Latin1ToUtf8(bytes); }

std::string Latin1ToUtf8(const std::string& bytes) {
  std::string utf8;
  utf8.reserve(bytes.size());
  for (const char c : bytes) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      utf8 += c;
    } else {
      utf8 += static_cast<char>(0xc0 | byte >> 6);
      utf8 += static_cast<char>(0x80 | (byte & 0x3f));
    }
  }
  return utf8;
}

TJson JsonRounded(double value, int decimals) {
  if (!std::isfinite(value)) return nullptr;
  const double scale = std::pow(10.0, decimals);
  // Past 2^53 a double has no digits after the point left to round.
  if (std::fabs(value) * scale < 9007199254740992.0) value = std::round(value * scale) / scale;
  return value + 0.0;  // -0 becomes 0
}

TJson JsonFloat(float value) {
  if (!std::isfinite(value)) return nullptr;
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text - 1, value).ptr;
  *end = '\0';
  return std::strtod(text, nullptr);
}

std::string JsonLine(const TJson& value) {
  return value.dump(-1, ' ', true) + "\n";
}

}  // namespace app
