#pragma once
// The command-line reports' JSON, written by nlohmann/json: objects keep their keys in the order
// they were added, so the output reads the same from run to run.
#include <nlohmann/json.hpp>
#include <string>

namespace app {

using TJson = nlohmann::ordered_json;

// A text from a level file as a JSON string: its bytes read as Latin-1, so a stray byte in a
// level's names never makes the output invalid; written out with every byte from 0x80 up escaped.
TJson JsonText(const std::string& bytes);
// The same bytes as UTF-8 text, for JSON written by other libraries (the glTF export's names).
std::string Latin1ToUtf8(const std::string& bytes);

// The value rounded to `decimals` digits after the point (-0 becomes 0); null when not finite.
TJson JsonRounded(double value, int decimals = 3);

// The float as the shortest decimal that reads back as the same float (0.1f is 0.1, not
// 0.100000001490116); null when not finite.
TJson JsonFloat(float value);

// One JSON document on one line, ASCII only, ended by a newline.
std::string JsonLine(const TJson& value);

}  // namespace app
