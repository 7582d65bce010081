#pragma once
// The main window of the program on SDL2, in the shape of the Win32 calls the program was designed
// around: a window (borderless and always on top for the full-screen viewer) with a device
// context, a pixel format and a GL context; the display-mode switch; key events as virtual-key
// codes; and a paint-driven message loop where every paint pass asks for the next one.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/PixelFormat.h"

struct SDL_Window;

namespace platform {

// SDL's video subsystem, for as long as the object lives. Raises std::runtime_error with SDL's
// reason when there is no display to open, and when the only video driver SDL found draws nowhere
// (its offscreen and dummy drivers, unless SDL_VIDEODRIVER names them).
class TVideoSystem {
 public:
  TVideoSystem();
  ~TVideoSystem();
  TVideoSystem(const TVideoSystem&) = delete;
  TVideoSystem& operator=(const TVideoSystem&) = delete;
};

// What the message loop delivers to the window's owner.
struct TWindowEvents {
  std::function<void()> Paint;
  std::function<void(std::uint16_t virtualKey)> KeyDown;
  std::function<void(std::uint16_t virtualKey)> KeyUp;
  std::function<void(int notches)> Wheel;  // the mouse wheel, away from the user positive
  // The left button pressed at (x, y) of the drawing surface, in pixels from its top left.
  std::function<void(int x, int y)> LeftClick;
};

// How a window sits on the desktop.
enum class TWindowStyle {
  // Borderless and above every other window: the full-screen viewer, which covers the screen.
  Popup,
  // A window as the desktop frames it, with title bar and border, stacked like any other.
  Normal,
};

// A hidden window centred on the screen. Its drawing surface always has RGBA colour, double
// buffering and a 24-bit depth buffer: the pixel-format request of the program names no depth
// size, but every frame clears and tests depth. The first window made is the main window, the one
// the display-mode switch applies to.
class TWindow {
 public:
  TWindow(const std::string& caption, int clientWidth, int clientHeight,
          TWindowStyle style = TWindowStyle::Popup);
  ~TWindow();
  TWindow(const TWindow&) = delete;
  TWindow& operator=(const TWindow&) = delete;

  // The surface GL draws to; valid while the window lives. Releasing it gives nothing back.
  TDeviceContext GetDC() const;
  void ReleaseDC(TDeviceContext dc) const;

  int ClientWidth() const;
  int ClientHeight() const;
  // New client size, keeping the window centred on the screen. A Normal window is made resizable
  // and kept inside the display's usable area: a larger size is cut down to it.
  void SetClientSize(int width, int height);
  bool Visible() const;
  void Show();

  // Ends the application: the message loop stops when it next turns.
  void Close();

  // Asks for a paint pass as soon as no other event is waiting.
  void InvalidateRect();

  // Shows the window (unless a quit request is already waiting) and dispatches events until a
  // quit request; paints run while the window is invalid and nothing else is waiting. The first
  // paint waits (at most kFirstPaintWaitMs) until the window is shown at the size SetClientSize
  // last asked for: a window manager resizes a window after the request, and a frame drawn at the
  // size the window was made with would fill only a corner of it. Returns the quit request's exit
  // code and consumes the request.
  int RunMessageLoop(const TWindowEvents& events);

  SDL_Window* Handle() const { return Window; }

 private:
  bool ReadyForFirstPaint(std::uint32_t waitingSince) const;

  SDL_Window* Window = nullptr;
  bool Invalid = false;
  int WantedWidth = 0, WantedHeight = 0;  // of the last SetClientSize; 0: none asked for
  TWindowStyle Style = TWindowStyle::Popup;
};

inline constexpr std::uint32_t kFirstPaintWaitMs = 1000;

// The window the display-mode switch applies to, or null.
TWindow* MainWindow();

// The rendering context of a window's surface, current on the creating thread once made current.
class TGLContext {
 public:
  // Raises std::runtime_error with SDL's reason when no context can be made.
  explicit TGLContext(TDeviceContext dc);
  ~TGLContext();
  TGLContext(const TGLContext&) = delete;
  TGLContext& operator=(const TGLContext&) = delete;
  void* Handle() const { return Context; }

 private:
  void* Context = nullptr;
};

// Accepts any format ChoosePixelFormat gave; the surface was made with its fixed format already.
bool SetPixelFormat(TDeviceContext dc, int formatIndex, const TPixelFormatDescriptor* pfd);

// Makes the context current on the surface; both null releases the current context.
bool MakeCurrent(TDeviceContext dc, const TGLContext* context);

void SwapBuffers(TDeviceContext dc);

// Ends the message loop at its next turn with this exit code.
void PostQuitMessage(int exitCode);
bool QuitRequested();

// ---- Display mode ----

// The display-mode request, laid out as the 156-byte DEVMODEA record of Win32.
struct TDevMode {
  char dmDeviceName[32];
  std::uint16_t dmSpecVersion;
  std::uint16_t dmDriverVersion;
  std::uint16_t dmSize;
  std::uint16_t dmDriverExtra;
  std::uint32_t dmFields;
  std::int16_t dmPrinterFields[8];  // orientation .. print quality, or position and orientation
  std::int16_t dmColor;
  std::int16_t dmDuplex;
  std::int16_t dmYResolution;
  std::int16_t dmTTOption;
  std::int16_t dmCollate;
  char dmFormName[32];
  std::uint16_t dmLogPixels;
  std::uint32_t dmBitsPerPel;
  std::uint32_t dmPelsWidth;
  std::uint32_t dmPelsHeight;
  std::uint32_t dmDisplayFlags;
  std::uint32_t dmDisplayFrequency;
  std::uint32_t dmICMMethod;
  std::uint32_t dmICMIntent;
  std::uint32_t dmMediaType;
  std::uint32_t dmDitherType;
  std::uint32_t dmReserved1;
  std::uint32_t dmReserved2;
  std::uint32_t dmPanningWidth;
  std::uint32_t dmPanningHeight;
};
static_assert(sizeof(TDevMode) == 156);
static_assert(offsetof(TDevMode, dmSize) == 36 && offsetof(TDevMode, dmFields) == 40 &&
              offsetof(TDevMode, dmBitsPerPel) == 104 && offsetof(TDevMode, dmPelsWidth) == 108 &&
              offsetof(TDevMode, dmPelsHeight) == 112);

inline constexpr std::uint32_t DM_BITSPERPEL = 0x40000;
inline constexpr std::uint32_t DM_PELSWIDTH = 0x80000;
inline constexpr std::uint32_t DM_PELSHEIGHT = 0x100000;
inline constexpr std::uint32_t CDS_FULLSCREEN = 4;
inline constexpr int DISP_CHANGE_SUCCESSFUL = 0;
inline constexpr int DISP_CHANGE_FAILED = -1;
inline constexpr int DISP_CHANGE_BADMODE = -2;

// Switches the display of the main window to the requested mode, temporarily (the window goes
// full screen and is shown, since a hidden window holds no mode). A null request restores the
// desktop mode. A mode the display does not list is refused with DISP_CHANGE_BADMODE. A request
// for 32 bits per pixel also takes the X server's depth-24 modes, which store 32 bits per pixel.
int ChangeDisplaySettings(const TDevMode* mode, std::uint32_t flags);

// The size of the primary display in its current mode, in pixels.
int ScreenWidth();
int ScreenHeight();

// ---- Keys ----

// The Win32 virtual-key code of an SDL key code: letters as upper-case codes, digits as their
// ASCII codes, Esc 27, and the other keys as Windows numbers them; 0 for a key without one.
std::uint16_t VirtualKeyFromKeycode(std::int32_t sdlKeycode);

}  // namespace platform
