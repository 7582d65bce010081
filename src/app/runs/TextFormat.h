#pragma once
// A line of a text report, printf-style: the reports' columns are laid out by their formats.
#include <cstdio>
#include <string>

namespace app {

// At most 511 characters; a longer line is cut (the reports' lines are far shorter).
std::string Format(const char* format, auto... values) {
  char line[512];
  std::snprintf(line, sizeof line, format, values...);
  return line;
}

}  // namespace app
