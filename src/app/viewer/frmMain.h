#pragma once
// The main window Tfrmcube: start-up and shutdown of the viewer, the frame loop that every paint
// pass runs, the key table, and the heads-up lines. Also the pieces of a frame on their own, for
// the modes that draw without the window's message loop.
#include <GL/gl.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/viewer/ViewModes.h"
#include "camera/CameraClass.h"
#include "level/Q3BSP.h"
#include "platform/PixelFormat.h"
#include "render/RenderCache.h"
#include "window/Input.h"
#include "window/Window.h"

struct TBSPFile;  // level/BSPFile.h

// ---- Globals of the running viewer; all zero or empty at program start. ----

// Keys[k] is true while the key whose virtual-key code has low byte k is down.
extern std::array<bool, 256> Keys;
// The heads-up font; 0 until it is loaded (the text is then drawn untextured).
extern GLuint FontTexture;
// The one level. Camera lives with the camera code.
extern TQuake3BSP Level;
// What the renderer keeps from one frame of Level to the next; made anew whenever Level is loaded.
extern TRenderCache LevelRenderCache;
// Frame timing, in milliseconds held as 32-bit floats, as the tick count gives them.
extern float CurrentTime;    // the tick count at the start of this pass
extern float LastFrameTime;  // CurrentTime of the last frame drawn
extern float LastFpsTime;    // CurrentTime of the last FpsText update
extern float Fps;            // the rate of the frame that last updated FpsText
// The third heads-up line without its leading spaces; never longer than FpsTextLimit.
extern std::string FpsText;

namespace app {

inline constexpr const char* kApplicationTitle = "bspwalk";
// The program's version, as the heading line and `--version` show it; kept in step with project()
// in CMakeLists.txt.
inline constexpr const char* kProgramVersion = "0.1.0";
inline constexpr std::size_t FpsTextLimit = 100;

// How the viewer starts. The defaults are the fixed settings of the program; a front end may
// change them before FormCreate.
struct TStartupOptions {
  std::string LevelPath = "maps\\testmap.BSP";
  std::string FontPath = "font.tga";
  // True: a borderless window above all others; the display switched to Width x Height x
  // BitsPerPixel and covered (the desktop when the switch is refused). False: a framed, ordinary
  // window of Width x Height, centred, and no switch.
  bool FullScreen = true;
  std::uint16_t Width = 1024;
  std::uint16_t Height = 768;
  std::uint16_t BitsPerPixel = 32;
  TCamera StartPose = kStartPose;
  // Called once start-up has loaded font and level, before the message loop (for --verbose).
  std::function<void()> Loaded;
  // How the level is loaded and drawn beyond the plain load and frame.
  TLevelOptions LevelOptions;
  TRenderOptions RenderOptions;
  // Called after each frame the window draws with the milliseconds the paint pass took (for
  // --frame-times); when empty the paint pass runs untimed.
  std::function<void(double)> FrameDrawn;
  // The viewer's state at the start (the command line's view options and the kind of run); the
  // form keeps its own from here, with the level's path and options and RenderOptions added.
  TViewerState Viewer;
  // The level file's bytes when the command line has read (and checked) them already: the first
  // load takes them instead of reading the file again; F5 and --watch read it anew. None: read.
  std::shared_ptr<const std::vector<std::uint8_t>> LevelBytes;
  // ParseBSP's records of LevelBytes when the command line's check parsed them: the first load
  // takes (and empties) them instead of parsing the bytes again. None: parsed there.
  std::shared_ptr<TBSPFile> LevelRecords;
};

// The OpenGL state start-up sets once for the whole run, also for frames drawn offscreen: black
// clear colour, depth test, front faces culled, 2D texturing, nicest perspective correction.
void SetFixedGLState();

// The heads-up font into FontTexture: the file at `path` (font.tga in the base folder, or where
// FindDataFile found it), else the program's own copy built into it, so that the text never lacks
// its glyphs. A missing file is reported by the loader first, as it always was, unless
// `quietWhenMissing`.
void LoadHudFont(const std::string& path, bool quietWhenMissing);

// The first two heads-up lines.
std::string CreditLine();
std::string UrlLine();

// The eight heads-up lines of this frame, from the globals, the camera and the render cache (with
// --fast in the state's LevelRender, the faces the frame drew).
std::array<std::string, 8> HudLines(const TViewerState& state);

// The renderer's name (empty for none), " Fps: ", then the rate with four decimals in at least
// seven characters; cut to FpsTextLimit characters.
std::string FormatFpsText(const char* renderer, float fps);

// The text shown for an error that ended start-up: its message, with "." appended when the last
// character sorts after ".".
std::string ErrorMessageText(const std::string& message);

// ---- The pieces of one frame, in the order a paint pass runs them. ----

// Perspective for the client area (`fovDegrees` vertically), viewport, clear, then (pushed) the
// camera transform, all on the projection matrix; the model-view matrix stays the identity.
void BeginFrameView(int clientWidth, int clientHeight, const TCamera& camera,
                    double fovDegrees = kDesignFovDegrees);
// W, S, D and A from Keys, each on its own, for a frame of dt milliseconds.
void MoveCameraFromKeys(float dt);
// Pops the camera transform: the projection matrix is the bare perspective again.
void EndFrameView();
// The heads-up projection (one unit per pixel, origin bottom left) and the lines in the font,
// top line 16 pixels below the top edge. Leaves the alpha test on and the font bound.
void DrawHud(int clientWidth, int clientHeight, const std::array<std::string, 8>& lines);
// DrawHud's set-up and clean-up around its lines (the first line's position set), for other
// heads-up text drawn the same way.
void BeginHudText(int clientWidth, int clientHeight);
void EndHudText();

// What a paint pass needs from the window it paints: the real window, or a test's stand-in.
struct TPaintSurface {
  std::function<int()> ClientWidth;
  std::function<int()> ClientHeight;
  std::function<void()> BeginPaint;
  std::function<void()> EndPaint;
  std::function<void()> SwapBuffers;
  std::function<void()> InvalidateRect;
  std::function<void()> Close;  // Esc: end the application once this frame is done
};

// One paint pass of the viewer in `state`: a frame when the tick count has advanced since the
// last one, and in any case a request for the next pass.
void PaintPass(const TPaintSurface& surface, TViewerState& state);

}  // namespace app

using TShiftState = std::uint32_t;

class Tfrmcube {
 public:
  explicit Tfrmcube(app::TStartupOptions options = {});
  ~Tfrmcube();  // runs FormDestroy when FormCreate made the window
  Tfrmcube(const Tfrmcube&) = delete;
  Tfrmcube& operator=(const Tfrmcube&) = delete;

  // The form's creation: FormCreate, with an error that leaves it shown in a message box (error
  // icon, the application title as caption). False after such an error; the program should then
  // end without running the message loop, since the level may be partly loaded.
  bool CreateForm();

  // Window, pixel format, context, fixed GL state, font, level (a quit request when it is
  // missing), camera, display mode, window size, hidden cursor. Errors of the loaders pass on.
  void FormCreate();
  // Context released and deleted, device context released, display mode restored. Runs once.
  void FormDestroy();
  void SetupPixelFormat();

  // The message loop until a quit request; returns the exit code.
  int Run();

  void WMPaint();
  void FormKeyDown(std::uint16_t& key, TShiftState shift);
  void FormKeyUp(std::uint16_t& key, TShiftState shift);
  // M: the pointer shown (mouse look stopped, a left click inspects) or hidden (looking again).
  void ShowPointer(bool show);

  platform::TWindow* Window() const { return MainWindow.get(); }
  // The viewer's state, which every paint pass and key of this form reads and changes.
  app::TViewerState& ViewerState() { return State; }

  platform::TDeviceContext DC = nullptr;
  std::unique_ptr<platform::TGLContext> RC;
  platform::TPixelFormatDescriptor PFD{};

 private:
  app::TStartupOptions Options;
  app::TViewerState State;
  std::unique_ptr<platform::TWindow> MainWindow;
  app::TPaintSurface Surface;
  bool Destroyed = false;
  platform::TCursorSource PreviousCursor;  // put back when mouse look has its own source
  bool CursorReplaced = false;
  bool RelativeMouse = false;
};

// The display-mode request for ChangeResolution: size 156, the three field flags, the values.
platform::TDevMode DisplayModeRequest(std::uint16_t width, std::uint16_t height,
                                      std::uint16_t bitsPerPixel);
// A temporary full-screen switch; true when the display took it.
bool ChangeResolution(std::uint16_t width, std::uint16_t height, std::uint16_t bitsPerPixel);
// Back to the desktop's own mode.
void RestoreResolution();

namespace app {

// The interactive viewer from start to end: the display opened, the form created, the message
// loop run, everything released. Returns the exit code: 0 after a quit request, also after an
// error that ended start-up (it has been shown); 1 when there is no display to open (the reason
// goes to standard error, where a message box falls back to without a display). The OpenGL entry
// points must have been resolved before.
int RunViewer(const TStartupOptions& options);

}  // namespace app
