#pragma once
// --fast on the command line: on by itself or with --full, off again by --fast=off; and the view
// direction --at may then take. A mistake raises std::invalid_argument with the one-line text the
// command line prints.
#include <string>

#include "app/cli/CommandLine.h"

namespace app {

// Whether the line asks for --fast: its own value when given (--fast, --fast=off), else --full's.
bool FastAsked(bool given, bool value, bool full);

// One --at value: X,Y,Z, or with --fast also X,Y,Z,YAW,PITCH (the direction the faces drawn
// after culling are counted for; level along +Y when not given).
void AddAtPosition(const std::string& text, bool fast, TCommandLine& options);

}  // namespace app
