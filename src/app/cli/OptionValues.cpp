#include "app/cli/OptionValues.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <system_error>

#include "app/cli/CommandLine.h"

namespace app {
namespace {

// A side of 8192 is 256 MB of colour and depth each; the GL's own bound is checked once a
// context exists.
constexpr int kLargestSide = 8192;

}  // namespace

float ParseFloat(const std::string& text) {
  float value = 0;
  const char* first = text.data();
  const char* last = first + text.size();
  // from_chars takes "nan", "inf" and exponents, and rounds straight to the 32-bit value (no
  // detour through double, which could round twice). It does not take a leading '+'.
  if (!text.empty() && text[0] == '+') ++first;
  const auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
  if (end != last || first == last || (error != std::errc() && error != std::errc::result_out_of_range))
    throw std::invalid_argument("'" + text + "' is not a number");
  if (error == std::errc::result_out_of_range) {
    // Too small for a float rounds to zero or a subnormal, as the conversion of any float does;
    // too large has no float to stand for it.
    const float rounded = std::strtof(std::string(first, last).c_str(), nullptr);
    if (std::isinf(rounded))
      throw std::invalid_argument("'" + text + "' is out of range for a 32-bit float");
    return rounded;
  }
  return value;
}

int ParsePositiveInt(const std::string& text, int highest, const std::string& what) {
  int value = 0;
  const char* first = text.data();
  const char* last = first + text.size();
  const auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc() || end != last || first == last || value < 1 || value > highest)
    throw std::invalid_argument(what + " '" + text + "' is not a whole number from 1 to " +
                                std::to_string(highest));
  return value;
}

bool IsPictureName(const std::string& path) {
  if (path.size() < 4) return false;
  std::string tail = path.substr(path.size() - 4);
  std::transform(tail.begin(), tail.end(), tail.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  return tail == ".png";
}

std::vector<float> ParseFloatList(const std::string& text, std::size_t expectedCount) {
  std::vector<float> values;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = text.find(',', start);
    values.push_back(ParseFloat(text.substr(start, comma == std::string::npos ? comma : comma - start)));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (values.size() != expectedCount)
    throw std::invalid_argument("'" + text + "' has " + std::to_string(values.size()) +
                                " values, expected " + std::to_string(expectedCount) +
                                " separated by commas");
  return values;
}

TWindowSize ParseSize(const std::string& text) {
  const std::size_t x = text.find_first_of("xX");
  if (x == std::string::npos)
    throw std::invalid_argument("'" + text + "' is not WIDTHxHEIGHT");
  return {ParsePositiveInt(text.substr(0, x), kLargestSide, "width"),
          ParsePositiveInt(text.substr(x + 1), kLargestSide, "height")};
}

void AddAtPositions(const std::vector<std::string>& texts, bool fast, TCommandLine& options) {
  for (const std::string& text : texts) {
    // Without --fast only a position, as always (and the same message for anything else).
    const bool withDirection = fast && std::count(text.begin(), text.end(), ',') == 4;
    const std::vector<float> v = ParseFloatList(text, withDirection ? 5 : 3);
    options.AtPositions.push_back(TVector{v[0], v[1], v[2]});
    if (fast) options.AtDirections.push_back(withDirection ? TAtDirection{v[3], v[4]} : TAtDirection{});
  }
}

}  // namespace app
