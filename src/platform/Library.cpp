#include "platform/Library.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>

namespace platform {

std::string SystemLibraryName(const std::string& fileName) {
  std::string lower = fileName;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  // The program asks for the Windows GL library by its file name; the GL library of a Linux
  // desktop (the vendor-neutral dispatcher) is libGL.so.1.
  if (lower == "opengl32.dll") return "libGL.so.1";
  return fileName;
}

TModuleHandle LoadLibraryA(const std::string& fileName) {
  // RTLD_LOCAL keeps the library's symbols out of the global scope; lookups go through the handle.
  return dlopen(SystemLibraryName(fileName).c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* GetProcAddress(TModuleHandle module, const char* name) {
  if (module == nullptr || name == nullptr) return nullptr;
  return dlsym(module, name);
}

bool FreeLibrary(TModuleHandle module) {
  if (module == nullptr) return true;
  return dlclose(module) == 0;
}

}  // namespace platform
