#pragma once
// Just enough JSON writing for the command-line reports: escaped strings and numbers that are
// always valid JSON (a NaN or an infinity becomes null).
#include <string>

namespace app {

// The text as a JSON string literal, quotes included. Control bytes and bytes from 0x7F up are
// escaped as \u00XX (read as Latin-1), so a stray byte in a level's names never makes the output
// invalid UTF-8.
std::string JsonString(const std::string& text);

// A number with up to `decimals` digits after the point, trailing zeros dropped; null when it is
// not finite.
std::string JsonNumber(double value, int decimals = 3);

}  // namespace app
