#pragma once
// An OpenGL rendering context without a window: Mesa's surfaceless EGL platform with a pbuffer
// that has colour, alpha and a 24-bit depth buffer. Used by the tests, the benchmarks and the
// command-line modes that render without a display. The context is current on the creating
// thread for the object's life; every texture made in it ends with it.
#include <memory>
#include <string>

namespace platform {

class TOffscreenGLContext {
 public:
  // Raises std::runtime_error with the reason when no context can be made.
  TOffscreenGLContext(int width, int height);
  ~TOffscreenGLContext();
  TOffscreenGLContext(const TOffscreenGLContext&) = delete;
  TOffscreenGLContext& operator=(const TOffscreenGLContext&) = delete;

  int Width() const { return W; }
  int Height() const { return H; }
  void MakeCurrent();
  void SwapBuffers();

 private:
  struct TImpl;
  std::unique_ptr<TImpl> Impl;
  int W = 0;
  int H = 0;
};

}  // namespace platform
