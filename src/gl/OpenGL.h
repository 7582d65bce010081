#pragma once
// The OpenGL 1.1 entry-point table: every function of OpenGL 1.1, resolved by name from the
// system's GL library at start, plus ChoosePixelFormat. The lightmap upload and the level
// renderer call through it; tests point entries at recorders to check the order of calls.
//
// The rule for which GL calls go through the table: the level's drawing (render/) calls every GL
// function through it (OpenGL.glDrawElements, OpenGL.glEnable, ...), apart from glBindTexture and
// glGenTextures, which the design calls directly; a test sees those by putting its own in front of
// the system's. So a test that points entries at recorders sees every call a frame makes
// (tests/render/RenderCallOrderTest.cpp checks the plain frame), and the layout check
// (cmake/Layout.cmake) names any other direct call in render/. Code of the other rooms that draws
// no level (uploads through GLU, the heads-up text, the overview's marks, read-back) may call the
// GL directly.
#include <GL/gl.h>

#include <array>
#include <string>

#include "platform/PixelFormat.h"

struct TOpenGLEntryPoints {
#define BSPWALK_GL11(name) decltype(&::name) name = nullptr;
#include "gl/GL11Functions.inc"
#undef BSPWALK_GL11
  decltype(&platform::ChoosePixelFormat) ChoosePixelFormat = nullptr;
};

inline constexpr int OpenGLEntryCount = 337;

// The table. All entries are null until LoadOpenGL and again after UnloadOpenGL.
extern TOpenGLEntryPoints OpenGL;

// The entries' names in table order: the 336 OpenGL 1.1 names, then "ChoosePixelFormat".
extern const std::array<const char*, OpenGLEntryCount> OpenGLEntryNames;

// Empties the table, loads the library by name and resolves every entry; a name the library does
// not export stays null. Raises std::runtime_error("Could not load OpenGL from " + name) when the
// library cannot be loaded. "opengl32.dll" names the system's GL library.
void LoadOpenGL(const std::string& libraryName);

// Sets every entry to null and releases the library.
void UnloadOpenGL();

// Masks every floating-point exception for the whole run (see the definition for the details).
void SetupFloatingPoint();

// What the program does once before any window exists: the floating-point set-up, then
// LoadOpenGL("opengl32.dll") with any failure discarded.
void InitOpenGLEntryPoints();
