#pragma once
// Level bytes on their way to a terminal. A level's entity values and texture names are the
// author's (or an attacker's) bytes: an escape sequence among them would set the window title or
// clear the screen of whoever runs --info or --entities on the level.
#include <string>
#include <string_view>

namespace app {

// The bytes with every control byte (below 0x20, and 0x7f) written as \xHH, and a backslash that
// would read as the start of one doubled; everything else as it is.
std::string TerminalText(std::string_view bytes);

}  // namespace app
