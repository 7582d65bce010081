#include "window/Window.h"

#include <SDL.h>
#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
namespace {

TWindow* TheMainWindow = nullptr;
bool QuitPosted = false;
int QuitExitCode = 0;

std::runtime_error SdlError(const std::string& what) {
  return std::runtime_error(what + ": " + SDL_GetError());
}

SDL_Window* WindowOf(TDeviceContext dc) { return static_cast<SDL_Window*>(dc); }

// X servers at depth 24 store 32 bits per pixel, and SDL reports those modes as 24-bit ones.
bool BitsMatch(Uint32 format, std::uint32_t bitsPerPixel) {
  if (SDL_BITSPERPIXEL(format) == bitsPerPixel) return true;
  return bitsPerPixel == 32 && SDL_BYTESPERPIXEL(format) == 4;
}

// Closing the display unloads Mesa's GL driver, which keeps allocations for the life of the
// process; once unloaded, a leak checker can no longer say whose those blocks were and cannot
// tell them from the program's own. Pinning the driver costs nothing this close to the end.
void KeepGLDriversLoaded() {
  std::vector<std::string> drivers;
  dl_iterate_phdr(
      [](dl_phdr_info* info, std::size_t, void* found) {
        const std::string_view name = info->dlpi_name ? info->dlpi_name : "";
        if (name.find("_dri.so") != std::string_view::npos ||
            name.find("libgallium") != std::string_view::npos)
          static_cast<std::vector<std::string>*>(found)->emplace_back(name);
        return 0;
      },
      &drivers);
  for (const std::string& driver : drivers)
    dlopen(driver.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

}  // namespace

TVideoSystem::TVideoSystem() {
  QuitPosted = false;
  QuitExitCode = 0;
  // The program draws continuously while it has the screen; a screen saver would only hide it.
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "0");
  if (SDL_Init(SDL_INIT_VIDEO) != 0) throw SdlError("Could not open the display");
  // Without any display SDL falls back to drivers that draw nowhere; the viewer would then run
  // unseen until killed. They count as a display only when asked for by name.
  const char* driver = SDL_GetCurrentVideoDriver();
  const char* asked = SDL_GetHint(SDL_HINT_VIDEODRIVER);
  const std::string_view name = driver ? driver : "";
  if ((name == "offscreen" || name == "dummy") && !(asked && name == asked)) {
    SDL_Quit();
    throw std::runtime_error("Could not open the display: no display is available");
  }
}

TVideoSystem::~TVideoSystem() {
  KeepGLDriversLoaded();
  SDL_Quit();
}

TWindow::TWindow(const std::string& caption, int clientWidth, int clientHeight,
                 TWindowStyle style) {
  // The surface's format is fixed when the window is made; ChoosePixelFormat promises this one.
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);  // --portals marks its views' pixels there
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
  if (style == TWindowStyle::Popup) flags |= SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALWAYS_ON_TOP;
  if (style == TWindowStyle::Normal) flags |= SDL_WINDOW_RESIZABLE;
  Style = style;
  Window = SDL_CreateWindow(caption.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                            clientWidth, clientHeight, flags);
  if (!Window) {  // a display without a stencil buffer still gets its window
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    Window = SDL_CreateWindow(caption.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, clientWidth,
                              clientHeight, flags);
  }
  if (!Window) throw SdlError("Could not create the window");
  if (!TheMainWindow) TheMainWindow = this;
}

TWindow::~TWindow() {
  if (TheMainWindow == this) TheMainWindow = nullptr;
  SDL_DestroyWindow(Window);
}

TDeviceContext TWindow::GetDC() const { return Window; }

void TWindow::ReleaseDC(TDeviceContext) const {}

int TWindow::ClientWidth() const {
  int width = 0, height = 0;
  SDL_GL_GetDrawableSize(Window, &width, &height);
  return width;
}

int TWindow::ClientHeight() const {
  int width = 0, height = 0;
  SDL_GL_GetDrawableSize(Window, &width, &height);
  return height;
}

void TWindow::SetClientSize(int width, int height) {
  SDL_Rect usable{};
  if (Style == TWindowStyle::Normal &&
      SDL_GetDisplayUsableBounds(SDL_GetWindowDisplayIndex(Window), &usable) == 0 && usable.w > 0 &&
      usable.h > 0) {
    width = std::min(width, usable.w);
    height = std::min(height, usable.h);
  }
  SDL_SetWindowSize(Window, width, height);
  WantedWidth = width;
  WantedHeight = height;
  SDL_SetWindowPosition(Window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
}

bool TWindow::Visible() const { return (SDL_GetWindowFlags(Window) & SDL_WINDOW_SHOWN) != 0; }

void TWindow::Show() {
  SDL_ShowWindow(Window);
  SDL_RaiseWindow(Window);
  Invalid = true;
}

void TWindow::Close() { PostQuitMessage(0); }

void TWindow::InvalidateRect() { Invalid = true; }

bool TWindow::ReadyForFirstPaint(std::uint32_t waitingSince) const {
  if (SDL_GetTicks() - waitingSince >= kFirstPaintWaitMs) return true;
  if (!Visible()) return false;
  int width = 0, height = 0;
  SDL_GetWindowSize(Window, &width, &height);
  return WantedWidth == 0 || (width == WantedWidth && height == WantedHeight);
}

int TWindow::RunMessageLoop(const TWindowEvents& events) {
  if (!QuitPosted && !Visible()) Show();
  Invalid = Invalid || Visible();
  const std::uint32_t shownAt = SDL_GetTicks();
  bool painted = false;
  for (;;) {
    SDL_Event event;
    while (!QuitPosted && SDL_PollEvent(&event)) {
      switch (event.type) {
        case SDL_QUIT:
          PostQuitMessage(0);
          break;
        case SDL_WINDOWEVENT:
          if (event.window.event == SDL_WINDOWEVENT_CLOSE) Close();
          if (event.window.event == SDL_WINDOWEVENT_EXPOSED) Invalid = true;
          break;
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
          const std::uint16_t key = VirtualKeyFromKeycode(event.key.keysym.sym);
          if (key == 0) break;
          const auto& handler = event.type == SDL_KEYDOWN ? events.KeyDown : events.KeyUp;
          if (handler) handler(key);
          break;
        }
        case SDL_MOUSEBUTTONDOWN:
          if (events.LeftClick && event.button.button == SDL_BUTTON_LEFT) {
            // Window coordinates are points; the surface may have more pixels than points.
            int pointsWide = 0, pointsHigh = 0;
            SDL_GetWindowSize(Window, &pointsWide, &pointsHigh);
            const int x = pointsWide > 0 ? event.button.x * ClientWidth() / pointsWide : event.button.x;
            const int y = pointsHigh > 0 ? event.button.y * ClientHeight() / pointsHigh : event.button.y;
            events.LeftClick(x, y);
          }
          break;
        case SDL_MOUSEWHEEL:
          if (events.Wheel && event.wheel.y != 0)
            events.Wheel(event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y);
          break;
        default:
          break;
      }
    }
    // A quit request goes before any paint, so a start-up that asked to quit draws no frame.
    if (QuitPosted) break;
    if (Invalid && !painted && !ReadyForFirstPaint(shownAt)) {
      SDL_WaitEventTimeout(nullptr, 10);
      continue;
    }
    if (Invalid) {
      painted = true;
      Invalid = false;
      if (events.Paint) events.Paint();
    } else {
      SDL_WaitEvent(nullptr);
    }
  }
  QuitPosted = false;
  return QuitExitCode;
}

TWindow* MainWindow() { return TheMainWindow; }

TGLContext::TGLContext(TDeviceContext dc) : Context(SDL_GL_CreateContext(WindowOf(dc))) {
  if (!Context) throw SdlError("Could not create the OpenGL context");
}

TGLContext::~TGLContext() {
  if (SDL_GL_GetCurrentContext() == Context) SDL_GL_MakeCurrent(nullptr, nullptr);
  SDL_GL_DeleteContext(Context);
}

bool SetPixelFormat(TDeviceContext dc, int formatIndex, const TPixelFormatDescriptor* pfd) {
  return dc != nullptr && formatIndex > 0 && pfd != nullptr;
}

bool MakeCurrent(TDeviceContext dc, const TGLContext* context) {
  return SDL_GL_MakeCurrent(WindowOf(dc), context ? context->Handle() : nullptr) == 0;
}

void SwapBuffers(TDeviceContext dc) { SDL_GL_SwapWindow(WindowOf(dc)); }

void PostQuitMessage(int exitCode) {
  if (!QuitPosted) QuitExitCode = exitCode;
  QuitPosted = true;
}

bool QuitRequested() { return QuitPosted; }

int ChangeDisplaySettings(const TDevMode* mode, std::uint32_t) {
  TWindow* window = TheMainWindow;
  if (mode == nullptr) {
    if (window && (SDL_GetWindowFlags(window->Handle()) & SDL_WINDOW_FULLSCREEN) != 0)
      SDL_SetWindowFullscreen(window->Handle(), 0);
    return DISP_CHANGE_SUCCESSFUL;
  }
  if (!window) return DISP_CHANGE_FAILED;
  const int display = SDL_GetWindowDisplayIndex(window->Handle());
  const int modeCount = SDL_GetNumDisplayModes(display < 0 ? 0 : display);
  for (int i = 0; i < modeCount; ++i) {
    SDL_DisplayMode candidate;
    if (SDL_GetDisplayMode(display < 0 ? 0 : display, i, &candidate) != 0) continue;
    if ((mode->dmFields & DM_PELSWIDTH) && candidate.w != static_cast<int>(mode->dmPelsWidth))
      continue;
    if ((mode->dmFields & DM_PELSHEIGHT) && candidate.h != static_cast<int>(mode->dmPelsHeight))
      continue;
    if ((mode->dmFields & DM_BITSPERPEL) && !BitsMatch(candidate.format, mode->dmBitsPerPel))
      continue;
    // The desktop already in this mode needs no switch; the window then simply covers the
    // screen. (SDL's full-screen state also needs a window manager to take effect, which a bare
    // X server such as Xvfb does not have.)
    SDL_DisplayMode desktop;
    if (SDL_GetDesktopDisplayMode(display < 0 ? 0 : display, &desktop) == 0 &&
        desktop.w == candidate.w && desktop.h == candidate.h &&
        ((mode->dmFields & DM_BITSPERPEL) == 0 || BitsMatch(desktop.format, mode->dmBitsPerPel)))
      return DISP_CHANGE_SUCCESSFUL;
    // SDL switches the mode only for a shown full-screen window.
    if (SDL_SetWindowDisplayMode(window->Handle(), &candidate) != 0) return DISP_CHANGE_FAILED;
    window->Show();
    if (SDL_SetWindowFullscreen(window->Handle(), SDL_WINDOW_FULLSCREEN) != 0)
      return DISP_CHANGE_FAILED;
    return DISP_CHANGE_SUCCESSFUL;
  }
  return DISP_CHANGE_BADMODE;
}

int ScreenWidth() {
  SDL_DisplayMode current;
  return SDL_GetCurrentDisplayMode(0, &current) == 0 ? current.w : 0;
}

int ScreenHeight() {
  SDL_DisplayMode current;
  return SDL_GetCurrentDisplayMode(0, &current) == 0 ? current.h : 0;
}

std::uint16_t VirtualKeyFromKeycode(std::int32_t sdlKeycode) {
  const SDL_Keycode key = sdlKeycode;
  if (key >= SDLK_a && key <= SDLK_z) return static_cast<std::uint16_t>(key - SDLK_a + 'A');
  if (key >= SDLK_0 && key <= SDLK_9) return static_cast<std::uint16_t>(key);
  if (key >= SDLK_F1 && key <= SDLK_F12) return static_cast<std::uint16_t>(112 + key - SDLK_F1);
  if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return static_cast<std::uint16_t>(97 + key - SDLK_KP_1);
  switch (key) {
    case SDLK_BACKSPACE: return 8;
    case SDLK_TAB: return 9;
    case SDLK_RETURN: case SDLK_KP_ENTER: return 13;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return 16;
    case SDLK_LCTRL: case SDLK_RCTRL: return 17;
    case SDLK_LALT: case SDLK_RALT: return 18;
    case SDLK_PAUSE: return 19;
    case SDLK_CAPSLOCK: return 20;
    case SDLK_ESCAPE: return 27;
    case SDLK_SPACE: return 32;
    case SDLK_PAGEUP: return 33;
    case SDLK_PAGEDOWN: return 34;
    case SDLK_END: return 35;
    case SDLK_HOME: return 36;
    case SDLK_LEFT: return 37;
    case SDLK_UP: return 38;
    case SDLK_RIGHT: return 39;
    case SDLK_DOWN: return 40;
    case SDLK_PRINTSCREEN: return 44;
    case SDLK_INSERT: return 45;
    case SDLK_DELETE: return 46;
    case SDLK_KP_0: return 96;
    case SDLK_KP_MULTIPLY: return 106;
    case SDLK_KP_PLUS: return 107;
    case SDLK_KP_MINUS: return 109;
    case SDLK_KP_PERIOD: return 110;
    case SDLK_KP_DIVIDE: return 111;
    case SDLK_NUMLOCKCLEAR: return 144;
    case SDLK_SCROLLLOCK: return 145;
    case SDLK_SEMICOLON: return 186;
    case SDLK_EQUALS: return 187;
    case SDLK_COMMA: return 188;
    case SDLK_MINUS: return 189;
    case SDLK_PERIOD: return 190;
    case SDLK_SLASH: return 191;
    case SDLK_BACKQUOTE: return 192;
    case SDLK_LEFTBRACKET: return 219;
    case SDLK_BACKSLASH: return 220;
    case SDLK_RIGHTBRACKET: return 221;
    case SDLK_QUOTE: return 222;
    default: return 0;
  }
}

}  // namespace platform
