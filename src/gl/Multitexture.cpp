#include "gl/Multitexture.h"

#include <cstdio>
#include <cstring>

#include "gl/OpenGL.h"

TMultitextureEntryPoints OpenGL13;
TOcclusionQueryEntryPoints OpenGL15;

namespace {

template <class TFunction>
void Resolve(TFunction& entry, const char* core, const char* arb,
             void* (*resolve)(const char*, void*), void* context) {
  void* address = resolve(core, context);
  if (address == nullptr) address = resolve(arb, context);
  // Converting an object pointer from dlsym to a function pointer is what POSIX guarantees works.
  entry = reinterpret_cast<TFunction>(address);
}

// Whether the space-separated list holds the name as a whole word.
bool HasExtension(const char* list, const char* name) {
  if (list == nullptr) return false;
  const std::size_t length = std::strlen(name);
  for (const char* at = std::strstr(list, name); at != nullptr; at = std::strstr(at + 1, name)) {
    const bool starts = at == list || at[-1] == ' ';
    const bool ends = at[length] == '\0' || at[length] == ' ';
    if (starts && ends) return true;
  }
  return false;
}

// GL_VERSION begins "major.minor"; anything unreadable counts as 1.1.
bool VersionAtLeast13(const char* version) {
  int major = 1, minor = 1;
  if (version == nullptr || std::sscanf(version, "%d.%d", &major, &minor) != 2) return false;
  return major > 1 || (major == 1 && minor >= 3);
}

}  // namespace

void ResolveMultitexture(void* (*resolve)(const char*, void*), void* context) {
  Resolve(OpenGL13.glActiveTexture, "glActiveTexture", "glActiveTextureARB", resolve, context);
  Resolve(OpenGL13.glClientActiveTexture, "glClientActiveTexture", "glClientActiveTextureARB",
          resolve, context);
  Resolve(OpenGL15.glGenQueries, "glGenQueries", "glGenQueriesARB", resolve, context);
  Resolve(OpenGL15.glDeleteQueries, "glDeleteQueries", "glDeleteQueriesARB", resolve, context);
  Resolve(OpenGL15.glBeginQuery, "glBeginQuery", "glBeginQueryARB", resolve, context);
  Resolve(OpenGL15.glEndQuery, "glEndQuery", "glEndQueryARB", resolve, context);
  Resolve(OpenGL15.glGetQueryObjectuiv, "glGetQueryObjectuiv", "glGetQueryObjectuivARB", resolve, context);
}

TMultitextureSupport CheckMultitexture() {
  if (OpenGL13.glActiveTexture == nullptr) return {false, "glActiveTexture"};
  if (OpenGL13.glClientActiveTexture == nullptr) return {false, "glClientActiveTexture"};
  if (OpenGL.glGetString == nullptr || OpenGL.glGetIntegerv == nullptr) return {false, "glGetString"};
  const auto* version = reinterpret_cast<const char*>(OpenGL.glGetString(GL_VERSION));
  if (!VersionAtLeast13(version)) {
    const auto* extensions = reinterpret_cast<const char*>(OpenGL.glGetString(GL_EXTENSIONS));
    if (!HasExtension(extensions, "GL_ARB_multitexture")) return {false, "GL_ARB_multitexture"};
    if (!HasExtension(extensions, "GL_ARB_texture_env_combine"))
      return {false, "GL_ARB_texture_env_combine"};
  }
  GLint units = 0;
  OpenGL.glGetIntegerv(GL_MAX_TEXTURE_UNITS, &units);
  if (units < 2) return {false, "a second texture unit", units};
  return {true, "", units};
}
