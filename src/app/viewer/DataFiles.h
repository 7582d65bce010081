#pragma once
// Where the program's own data (font.tga) is found: the base folder first, as always, then the
// data folder of an installed program, found from the executable's own place so that a moved
// installation still finds it.
#include <string>

namespace app {

// The installed data folder: <the executable's folder>/../share/bspwalk; empty when the
// executable's path cannot be read.
std::string InstalledDataFolder();

// `name` itself when it exists in the working directory (the base folder); otherwise the copy in
// the installed data folder when that exists; otherwise `name`, so that the loader's not-found
// message names what was looked for.
std::string FindDataFile(const std::string& name);

}  // namespace app
