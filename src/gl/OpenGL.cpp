#include "gl/OpenGL.h"

#include <stdexcept>

#include "gl/Multitexture.h"
#include "platform/Library.h"

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#else
#include <cfenv>
#endif

TOpenGLEntryPoints OpenGL;

const std::array<const char*, OpenGLEntryCount> OpenGLEntryNames = {
#define BSPWALK_GL11(name) #name,
#include "gl/GL11Functions.inc"
#undef BSPWALK_GL11
    "ChoosePixelFormat",
};

namespace {

// The handle of the loaded GL library. UnloadOpenGL releases it but, as designed, does not reset
// the variable: the next LoadOpenGL overwrites it right away.
platform::TModuleHandle OpenGLLibrary = nullptr;
bool OpenGLLibraryReleased = true;

template <class TFunction>
void Resolve(TFunction& entry, const char* name) {
  // Converting an object pointer from dlsym to a function pointer is what POSIX guarantees works.
  entry = reinterpret_cast<TFunction>(platform::GetProcAddress(OpenGLLibrary, name));
}

}  // namespace

void UnloadOpenGL() {
  OpenGL = TOpenGLEntryPoints{};
  OpenGL13 = TMultitextureEntryPoints{};
  OpenGL15 = TOcclusionQueryEntryPoints{};
  if (!OpenGLLibraryReleased) {
    platform::FreeLibrary(OpenGLLibrary);
    OpenGLLibraryReleased = true;
  }
}

void LoadOpenGL(const std::string& libraryName) {
  UnloadOpenGL();
  OpenGLLibrary = platform::LoadLibraryA(libraryName);
  if (OpenGLLibrary == nullptr) throw std::runtime_error("Could not load OpenGL from " + libraryName);
  OpenGLLibraryReleased = false;
#define BSPWALK_GL11(name) Resolve(OpenGL.name, #name);
#include "gl/GL11Functions.inc"
#undef BSPWALK_GL11
  Resolve(OpenGL.ChoosePixelFormat, "ChoosePixelFormat");
  // A GL library does not export the pixel-format call; the platform layer's stand-in takes it.
  if (OpenGL.ChoosePixelFormat == nullptr) OpenGL.ChoosePixelFormat = &platform::ChoosePixelFormat;
  // The two texture units of --fast, from the same library; the 1.1 table above stays as it was.
  ResolveMultitexture([](const char* name, void*) { return platform::GetProcAddress(OpenGLLibrary, name); },
                      nullptr);
}

void SetupFloatingPoint() {
#if defined(__x86_64__) || defined(__i386__)
  // x87: all six exceptions masked, 64-bit extended precision, round to nearest (0x133F). On
  // x86-64 the compiler does float and double arithmetic in SSE, so the MXCSR gets the same
  // settings: all six exception masks set, round to nearest; the flush-to-zero and
  // denormals-are-zero bits are left as they are.
  const unsigned short controlWord = 0x133F;
  asm volatile("fldcw %0" : : "m"(controlWord));
  constexpr unsigned int kExceptionMasks = 0x1F80;
  constexpr unsigned int kRoundingBits = 0x6000;
  _mm_setcsr((_mm_getcsr() | kExceptionMasks) & ~kRoundingBits);
#else
  // No x87 here. The nearest equivalent of 0x133F: every floating-point exception non-trapping
  // (the usual default, but a host may have enabled traps) and rounding to nearest. There is no
  // extended-precision setting to make; float and double arithmetic keep their own precision.
#if defined(__GLIBC__)
  fedisableexcept(FE_ALL_EXCEPT);
#endif
  std::fesetround(FE_TONEAREST);
#endif
}

void InitOpenGLEntryPoints() {
  SetupFloatingPoint();
  try {
    LoadOpenGL("opengl32.dll");
  } catch (...) {
    // By design a missing GL library is not reported here: the table stays all null and start-up
    // goes on (creating the window's context fails visibly later).
  }
}
