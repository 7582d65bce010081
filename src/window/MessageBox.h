#pragma once
// The program's modal message boxes on SDL: what platform/Messages.h shows by default once the
// program has asked for them at start (the libraries and tests alone write to standard error).
#include <string>

#include "platform/Messages.h"

namespace platform {

// Shows one box with an OK button and no owner window; SDL can fail to show one (no display, no X
// core fonts and no zenity), and the text then goes to standard error.
void ShowMessageBox(const std::string& text, const std::string& caption, TMessageIcon icon);

// Makes the boxes where messages go, now and whenever a target is reset to the default.
void UseMessageBoxes();

}  // namespace platform
