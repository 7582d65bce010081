#pragma once
// The values of options: numbers, lists of numbers, sizes and picture names, each read whole or
// refused with std::invalid_argument naming what is wrong (ParseFloatList, IsPictureName and
// ParseSize are declared in app/cli/CommandLine.h).
#include <string>

namespace app {

// One 32-bit float, as ParseFloatList reads each of its values.
float ParseFloat(const std::string& text);

// A whole number from 1 to `highest`; the message names it as `what`.
int ParsePositiveInt(const std::string& text, int highest, const std::string& what);

}  // namespace app
