#pragma once
// Loading a shared library and looking up its exports by name: the stand-ins for LoadLibraryA,
// GetProcAddress and FreeLibrary that the OpenGL entry-point table was designed around.
#include <string>

namespace platform {

// A loaded library; null when none.
using TModuleHandle = void*;

// The file name of the system library a name of the design stands for: "opengl32.dll" (any letter
// case) is "libGL.so.1" here; any other name is used as given.
std::string SystemLibraryName(const std::string& fileName);

// Loads the library (with SystemLibraryName), or gives null when it cannot be loaded.
TModuleHandle LoadLibraryA(const std::string& fileName);

// The address of the export `name`, or null when the library has none (or the handle is null).
void* GetProcAddress(TModuleHandle module, const char* name);

// Releases one reference to the library; a null handle does nothing. False when the release fails.
bool FreeLibrary(TModuleHandle module);

}  // namespace platform
