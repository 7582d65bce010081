#pragma once
// The two texture units of OpenGL 1.3 (ARB_multitexture) with texture-environment combine, for the
// one-pass drawing of --fast. A table of its own beside the OpenGL 1.1 one: resolved by LoadOpenGL
// from the same library, emptied by UnloadOpenGL, and checked against the current context before
// the first one-pass frame. Tests point entries at recorders or empty them to see the fallback.
#include <GL/gl.h>

#include <string>

struct TMultitextureEntryPoints {
  decltype(&::glActiveTexture) glActiveTexture = nullptr;
  decltype(&::glClientActiveTexture) glClientActiveTexture = nullptr;
};

// Null until LoadOpenGL and again after UnloadOpenGL; an entry the library lacks (under its core
// name and its ARB name) stays null.
extern TMultitextureEntryPoints OpenGL13;

// The occlusion queries of OpenGL 1.5 (ARB_occlusion_query), which count the fragments that pass
// the depth test: --benchmark --json with --fast counts a frame's depth complexity with them. Null
// where the library lacks them, and then nothing is counted.
struct TOcclusionQueryEntryPoints {
  PFNGLGENQUERIESPROC glGenQueries = nullptr;
  PFNGLDELETEQUERIESPROC glDeleteQueries = nullptr;
  PFNGLBEGINQUERYPROC glBeginQuery = nullptr;
  PFNGLENDQUERYPROC glEndQuery = nullptr;
  PFNGLGETQUERYOBJECTUIVPROC glGetQueryObjectuiv = nullptr;
  bool Usable() const {
    return glGenQueries && glDeleteQueries && glBeginQuery && glEndQuery && glGetQueryObjectuiv;
  }
};
extern TOcclusionQueryEntryPoints OpenGL15;

// Fills OpenGL13 (and OpenGL15) through `resolve` (a name to an address, or null), the core name first, then the
// ARB one.
void ResolveMultitexture(void* (*resolve)(const char* name, void* context), void* context);

// What the current context offers for one pass of image x lightmap. Usable needs both entries,
// GL 1.3 or both GL_ARB_multitexture and GL_ARB_texture_env_combine, and at least two units;
// otherwise Missing names the first thing lacking ("glActiveTexture", "GL_ARB_texture_env_combine",
// "a second texture unit").
struct TMultitextureSupport {
  bool Usable = false;
  std::string Missing;
  GLint Units = 0;  // texture units of the fixed-function pipeline
};
TMultitextureSupport CheckMultitexture();
