// Whether a path names a PNG picture, for the options that write one (--screenshot, --overview).
#include <algorithm>
#include <string>

#include "app/cli/CommandLine.h"

namespace app {

bool IsPictureName(const std::string& path) {
  if (path.size() < 4) return false;
  std::string tail = path.substr(path.size() - 4);
  std::transform(tail.begin(), tail.end(), tail.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  return tail == ".png";
}

}  // namespace app
