// The entry-point table until the GL module defines it; weak, so the real one wins once linked.
#include "gl/OpenGL.h"

__attribute__((weak)) TOpenGLEntryPoints OpenGL;
