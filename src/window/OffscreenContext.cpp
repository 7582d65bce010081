#include "window/OffscreenContext.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <iterator>
#include <stdexcept>

namespace platform {

struct TOffscreenGLContext::TImpl {
  EGLDisplay Display = EGL_NO_DISPLAY;
  EGLSurface Surface = EGL_NO_SURFACE;
  EGLContext Context = EGL_NO_CONTEXT;
};

namespace {

EGLDisplay SurfacelessDisplay() {
  auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
      eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (!getPlatformDisplay) return EGL_NO_DISPLAY;
  return getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
}

}  // namespace

TOffscreenGLContext::TOffscreenGLContext(int width, int height)
    : Impl(std::make_unique<TImpl>()), W(width), H(height) {
  TImpl& egl = *Impl;
  egl.Display = SurfacelessDisplay();
  EGLint major = 0, minor = 0;
  if (egl.Display == EGL_NO_DISPLAY || !eglInitialize(egl.Display, &major, &minor))
    throw std::runtime_error("No EGL display for an offscreen OpenGL context");

  // A stencil buffer for --portals' views when there is one; the pictures are the same without.
  EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT,
                               EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8,
                               EGL_ALPHA_SIZE, 8, EGL_DEPTH_SIZE, 24,
                               EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_STENCIL_SIZE, 8, EGL_NONE};
  EGLConfig config = nullptr;
  EGLint configCount = 0;
  const auto choose = [&] {
    return eglChooseConfig(egl.Display, configAttributes, &config, 1, &configCount) && configCount >= 1;
  };
  bool chosen = choose();
  if (!chosen) {
    configAttributes[std::size(configAttributes) - 3] = EGL_NONE;  // without the stencil
    chosen = choose();
  }
  if (!chosen) {
    eglTerminate(egl.Display);
    throw std::runtime_error("No EGL configuration with RGBA and a 24-bit depth buffer");
  }
  eglBindAPI(EGL_OPENGL_API);
  const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
  egl.Surface = eglCreatePbufferSurface(egl.Display, config, surfaceAttributes);
  egl.Context = eglCreateContext(egl.Display, config, EGL_NO_CONTEXT, nullptr);
  if (egl.Surface == EGL_NO_SURFACE || egl.Context == EGL_NO_CONTEXT ||
      !eglMakeCurrent(egl.Display, egl.Surface, egl.Surface, egl.Context)) {
    if (egl.Context != EGL_NO_CONTEXT) eglDestroyContext(egl.Display, egl.Context);
    if (egl.Surface != EGL_NO_SURFACE) eglDestroySurface(egl.Display, egl.Surface);
    eglTerminate(egl.Display);
    throw std::runtime_error("Could not create an offscreen OpenGL context");
  }
}

TOffscreenGLContext::~TOffscreenGLContext() {
  TImpl& egl = *Impl;
  eglMakeCurrent(egl.Display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  eglDestroyContext(egl.Display, egl.Context);
  eglDestroySurface(egl.Display, egl.Surface);
  // The display is left initialised: terminating it tears down state that a later context in the
  // same process would have to rebuild, and Mesa keeps one per process anyway.
}

void TOffscreenGLContext::MakeCurrent() {
  eglMakeCurrent(Impl->Display, Impl->Surface, Impl->Surface, Impl->Context);
}

void TOffscreenGLContext::SwapBuffers() { eglSwapBuffers(Impl->Display, Impl->Surface); }

}  // namespace platform
