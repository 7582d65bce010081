#include "app/viewer/frmMain.h"

#include <GL/glu.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>

#include "app/viewer/ViewModes.h"
#include "app/viewer/WalkMode.h"
#include "gl/PrintText.h"
#include "gl/Textures.h"
#include "level/BSPFile.h"
#include "platform/Files.h"
#include "platform/Messages.h"
#include "render/EntityLinks.h"
#include "render/FastPath.h"
#include "render/Q3BSP_render.h"
#include "window/Input.h"
#include "window/Window.h"

std::array<bool, 256> Keys{};
GLuint FontTexture = 0;
TQuake3BSP Level;
TRenderCache LevelRenderCache;
float CurrentTime = 0;
float LastFrameTime = 0;
float LastFpsTime = 0;
float Fps = 0;
std::string FpsText;

namespace app {
namespace {

// The project has no web address of its own; its README is where a person finds out more.
constexpr const char* kContact = "README.md";
constexpr const char* kProjectAddress = "README.md";

constexpr float kMovementSpeed = 150.0f;  // level units per second
constexpr float kFpsRefreshMs = 100.0f;

constexpr std::uint16_t VK_W = 87, VK_S = 83, VK_A = 65, VK_D = 68, VK_ESCAPE = 27;

template <class... TArgs>
std::string Format(const char* format, TArgs... args) {
  const int length = std::snprintf(nullptr, 0, format, args...);
  std::string text(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
  std::snprintf(text.data(), text.size() + 1, format, args...);
  return text;
}

float Speed(float dt) { return static_cast<float>(static_cast<double>(dt) / 1000.0 * kMovementSpeed); }

}  // namespace

std::string CreditLine() {
  return std::string("  ") + kApplicationTitle + " " + kProgramVersion + " (" + kContact + ")";
}

std::string UrlLine() { return std::string("  url: ") + kProjectAddress; }

namespace {

// With --fast the faces a frame drew after culling follow the count of the faces admitted.
std::string FacesLine(bool fast) {
  std::string line = Format("  Faces: %d", static_cast<int>(VisibleFaceCount));
  const TFastFrame& frame = LevelRenderCache.Fast;
  if (fast && frame.Passes > 0) line += Format(", drawn %d", static_cast<int>(frame.FacesDrawn));
  return line;
}

}  // namespace

std::array<std::string, 8> HudLines(const TViewerState& state) {
  return {CreditLine(),
          UrlLine(),
          "  " + FpsText,
          FacesLine(state.LevelRender.Fast),
          Format("  col:%d", static_cast<int>(Level.FaceCount)) + WalkHudText(),
          Format("  X:%5.5f", static_cast<double>(Camera.X)),
          Format("  Y:%5.5f", static_cast<double>(Camera.Y)),
          Format("  Z:%5.5f", static_cast<double>(Camera.Z))};
}

std::string FormatFpsText(const char* renderer, float fps) {
  std::string text = renderer ? renderer : "";
  text += " Fps: " + Format("%7.4f", static_cast<double>(fps));
  if (text.size() > FpsTextLimit) text.resize(FpsTextLimit);
  return text;
}

std::string ErrorMessageText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
  return message;
}

void BeginFrameView(int clientWidth, int clientHeight, const TCamera& camera, double fovDegrees) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(fovDegrees, static_cast<double>(clientWidth) / static_cast<double>(clientHeight), 5.0,
                 20000.0);
  glMatrixMode(GL_PROJECTION);
  glViewport(0, 0, clientWidth, clientHeight);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  // Everything goes on the projection matrix: MoveCamera reads the view direction back from it.
  glPushMatrix();
  ApplyCameraTransform(camera);
}

void MoveCameraFromKeys(float dt) {
  // Each key on its own: W and S together cancel, W and D together do both, forward first.
  if (Keys[VK_W]) MoveCamera(Camera, Speed(dt));
  if (Keys[VK_S]) MoveCamera(Camera, -Speed(dt));
  if (Keys[VK_D]) StrafeCamera(Camera, -Speed(dt));
  if (Keys[VK_A]) StrafeCamera(Camera, Speed(dt));
  // Straight up and down, whatever the view direction: E or Space up, Q or C down.
  // Two keys for one direction do not add up; up and down together cancel.
  if (Keys[VK_E] || Keys[VK_SPACE]) Camera.Z += Speed(dt);
  if (Keys[VK_Q] || Keys[VK_C]) Camera.Z -= Speed(dt);
}

void EndFrameView() { glPopMatrix(); }

void BeginHudText(int clientWidth, int clientHeight) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, clientWidth, 0, clientHeight, -800, 800);
  glPushMatrix();
  glDisable(GL_CULL_FACE);
  // Depth testing stays on: the text lies at depth 0.5 and hides behind geometry nearer than that.
  glEnable(GL_ALPHA_TEST);
  glAlphaFunc(GL_GREATER, 0.6f);
  glBindTexture(GL_TEXTURE_2D, FontTexture);
  glTranslatef(0.0f, static_cast<float>(clientHeight - 32), 0.0f);
}

void EndHudText() {
  glPopMatrix();
  glEnable(GL_CULL_FACE);
}

void DrawHud(int clientWidth, int clientHeight, const std::array<std::string, 8>& lines) {
  BeginHudText(clientWidth, clientHeight);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) glTranslatef(0.0f, -16.0f, 0.0f);
    PrintText(lines[i], 8.0f, 16.0f);
  }
  EndHudText();
}

void PaintPass(const TPaintSurface& surface, TViewerState& state) {
  CurrentTime = static_cast<float>(platform::GetTickCount());
  // The tick count returns to 0 after 2^32 ms. Compared as they are, the times would stop every
  // frame until the count caught up again, 49.7 days later; the first pass after the return is
  // timed as a 1 ms frame instead, and the rate text refreshes 100 ms on from there.
  if (CurrentTime < LastFrameTime) {
    LastFrameTime = CurrentTime - 1.0f;
    LastFpsTime = LastFrameTime;
  }
  if (CurrentTime - LastFrameTime > 0) {
    RunToolsBeforeFrame(state, CurrentTime);  // F5 and --watch: reload before drawing
    surface.BeginPaint();
    const int width = surface.ClientWidth();
    const int height = surface.ClientHeight();
    BeginFrameView(width, height, Camera, state.FovDegrees);
    state.LevelRender.Time = AdvanceClock(state, CurrentTime);
    Level.RenderLevel(TVector{Camera.X, Camera.Y, Camera.Z}, WithViewModes(state.LevelRender, state.Render),
                      LevelRenderCache);
    // I: the inspected entity's links, over the walls so that they show where they lead.
    if (state.Inspected && *state.Inspected < Level.Things.Places.size())
      DrawEntityLinks(Level, LevelRenderCache.Markers, *state.Inspected, true);

    const float dt = CurrentTime - LastFrameTime;
    MoveFromKeys(dt, Camera, state);  // flying as always, or walking (V)
    if (Keys[VK_ESCAPE]) surface.Close();  // this frame still runs to its end
    if (!state.PointerShown) MouseLook(Camera);  // M shows the pointer instead
    KeepWalkingPitch(Camera);
    EndFrameView();

    // Tool modes, overlay and notes get the extra lines and the shadow, and a run with LEVEL the
    // shadow always (white text is lost over white surfaces); otherwise the plain text.
    const bool extraLine = ExtraLineShown(state);
    if (state.Hud && (state.LevelRun || extraLine || !state.Note.empty()))
      DrawHudWithShadow(width, height, HudLines(state), extraLine ? OverlayLine(Level, Camera, state) : "",
                        state.Note);
    else if (state.Hud)
      DrawHud(width, height, HudLines(state));
    if (state.KeyReference) DrawKeyReference(width, height);  // H
    if (state.Hud) DrawInspector(width, height, state);  // I
    RunToolsAfterFrame(state, CurrentTime, width, height);  // F12 saves the finished picture
    surface.SwapBuffers();
    surface.EndPaint();

    if (CurrentTime - LastFpsTime > kFpsRefreshMs) {
      Fps = 1000.0f / (CurrentTime - LastFrameTime);
      FpsText = FormatFpsText(reinterpret_cast<const char*>(glGetString(GL_RENDERER)), Fps);
      LastFpsTime = CurrentTime;
    }
    LastFrameTime = CurrentTime;
  }
  surface.InvalidateRect();
}

}  // namespace app

// ---- Tfrmcube ----

namespace {

// Start-up's load: of the bytes the command line read and checked when it has them, so that the
// level file is read once, as the runs without a window read it; else of the file.
bool LoadStartLevel(app::TStartupOptions& options) {
  if (!options.LevelBytes) return Level.LoadBSP(options.LevelPath, options.LevelOptions);
  const std::vector<std::uint8_t>& bytes = *options.LevelBytes;
  const std::shared_ptr<TBSPFile> records = std::move(options.LevelRecords);
  return Level.LoadBSP(options.LevelPath, options.LevelOptions, bytes,
                       records ? std::move(*records) : ParseBSP(bytes));
}

}  // namespace

Tfrmcube::Tfrmcube(app::TStartupOptions options) : Options(std::move(options)), State(Options.Viewer) {}

Tfrmcube::~Tfrmcube() {
  if (MainWindow) FormDestroy();
}

bool Tfrmcube::CreateForm() {
  try {
    FormCreate();
    return true;
  } catch (const std::exception& error) {
    platform::ShowMessage(app::ErrorMessageText(error.what()), app::kApplicationTitle,
                          platform::TMessageIcon::Error);
  }
  return false;
}

void app::SetFixedGLState() {
  glClearColor(0, 0, 0, 0);
  glEnable(GL_DEPTH_TEST);
  glCullFace(GL_FRONT);  // the level's faces wind the other way round
  glEnable(GL_CULL_FACE);
  glEnable(GL_TEXTURE_2D);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
}

void app::LoadHudFont(const std::string& path, bool quietWhenMissing) {
  if ((!quietWhenMissing || platform::FileExists(path)) && LoadTexture(path, FontTexture, false)) return;
  LoadTexture("font.tga", FontTexture, true);  // the built-in resource "font"
}

void Tfrmcube::FormCreate() {
  // The window is made when its handle is first asked for, at the size of the form's resource.
  // Covering the screen it has no frame and stays above the rest; otherwise it is an ordinary one.
  MainWindow = std::make_unique<platform::TWindow>(
      app::kApplicationTitle, 632, 454,
      Options.FullScreen ? platform::TWindowStyle::Popup : platform::TWindowStyle::Normal);
  DC = MainWindow->GetDC();
  SetupPixelFormat();
  RC = std::make_unique<platform::TGLContext>(DC);
  platform::MakeCurrent(DC, RC.get());

  app::SetFixedGLState();

  platform::TWindow& window = *MainWindow;
  const platform::TDeviceContext dc = DC;
  Surface = app::TPaintSurface{
      [&window] { return window.ClientWidth(); },
      [&window] { return window.ClientHeight(); },
      [] {},  // SDL has no paint bracket to open or close
      [] {},
      [dc] { platform::SwapBuffers(dc); },
      [&window] { window.InvalidateRect(); },
      [&window] { window.Close(); },
  };

  app::LoadHudFont(Options.FontPath, State.LevelRun);
  // A missing level has been reported by LoadBSP; start-up still completes so that shutdown
  // restores what it changed, and the quit request ends the program before any frame.
  LevelRenderCache = {};
  if (!LoadStartLevel(Options)) platform::PostQuitMessage(0);
  State.LevelRender = Options.RenderOptions;
  app::RestartClock(State);
  State.LevelPath = Options.LevelPath;  // what F5 and --watch reload
  State.LevelOptions = Options.LevelOptions;

  const TCamera& pose = Options.StartPose;
  InitCamera(Camera, pose.X, pose.Y, pose.Z, pose.Yaw, pose.Pitch);
  if (Options.FullScreen) {
    ChangeResolution(Options.Width, Options.Height, Options.BitsPerPixel);
    // Read after the switch: the new mode when it took effect, the desktop's otherwise.
    MainWindow->SetClientSize(platform::ScreenWidth(), platform::ScreenHeight());
    if (State.OwnStartPose) {
      // Where the pointer was before the first frame (the middle of the screen when the display
      // has just started) is no turn: the view starts as the pose says.
      PreviousCursor = platform::SetCursorSource({});
      platform::SetCursorSource(platform::HomeAtFirstReading(PreviousCursor, {MouseHomeX, MouseHomeY}));
      CursorReplaced = true;
    }
  } else {
    MainWindow->SetClientSize(Options.Width, Options.Height);
    // A window on the desktop looks with the mouse's relative motion instead of warping the
    // pointer to a screen point, and turns nothing on its first frame.
    PreviousCursor = platform::SetCursorSource(
        platform::RelativeCursorSource({MouseHomeX, MouseHomeY}));
    platform::SetRelativeMouseMode(true);
    RelativeMouse = true;
    CursorReplaced = true;
  }
  platform::ShowCursor(false);
}

void Tfrmcube::FormDestroy() {
  if (Destroyed) return;
  Destroyed = true;
  if (RelativeMouse) {
    RelativeMouse = false;
    platform::SetRelativeMouseMode(false);
  }
  if (CursorReplaced) {
    CursorReplaced = false;
    platform::SetCursorSource(std::move(PreviousCursor));
  }
  platform::MakeCurrent(nullptr, nullptr);
  RC.reset();
  if (MainWindow) MainWindow->ReleaseDC(DC);
  DC = nullptr;
  RestoreResolution();
}

void Tfrmcube::SetupPixelFormat() {
  std::memset(&PFD, 0, sizeof PFD);
  PFD.nSize = sizeof PFD;
  PFD.nVersion = 1;
  PFD.dwFlags = platform::PFD_DRAW_TO_WINDOW | platform::PFD_SUPPORT_OPENGL |
                platform::PFD_DOUBLEBUFFER;
  const int format = platform::ChoosePixelFormat(DC, &PFD);
  platform::SetPixelFormat(DC, format, &PFD);
}

int Tfrmcube::Run() {
  const platform::TWindowEvents events{
      [this] { WMPaint(); },
      [this](std::uint16_t key) { FormKeyDown(key, 0); },
      [this](std::uint16_t key) { FormKeyUp(key, 0); },
      [](int notches) { app::HandleWheel(notches); },
      [this](int x, int y) {
        if (State.PointerShown)
          app::HandleEntityClick(x, y, MainWindow->ClientWidth(), MainWindow->ClientHeight(), Level, Camera,
                                 CurrentTime, State);
      },
  };
  return MainWindow->RunMessageLoop(events);
}

void Tfrmcube::WMPaint() {
  if (!Options.FrameDrawn) {
    app::PaintPass(Surface, State);
    return;
  }
  const float lastFrame = LastFrameTime;
  const auto start = std::chrono::steady_clock::now();
  app::PaintPass(Surface, State);
  // A pass that found the tick count where it was drew nothing.
  if (LastFrameTime != lastFrame)
    Options.FrameDrawn(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
}

void Tfrmcube::FormKeyDown(std::uint16_t& key, TShiftState) {
  const bool wasDown = Keys[key & 255];
  Keys[key & 255] = true;
  // A run with LEVEL ends at the key's own event: a tap shorter than a frame is never seen by the
  // frame's look at Keys.
  if (State.LevelRun && (key & 255) == app::VK_ESCAPE && MainWindow) MainWindow->Close();
  app::HandleToolKey(key, wasDown, TVector{Camera.X, Camera.Y, Camera.Z}, State);
  app::HandleWalkKey(key, wasDown, Camera, State, CurrentTime);
  app::HandleEntityKey(key, wasDown, Level, Camera, CurrentTime, State);
  if ((key & 255) == app::VK_M && !wasDown) ShowPointer(!State.PointerShown);
}

void Tfrmcube::ShowPointer(bool show) {
  State.PointerShown = show;
  if (RelativeMouse) platform::SetRelativeMouseMode(!show);
  platform::ShowCursor(show);
  if (show) return;
  // Back to looking: the pointer home, and the motion while it was shown read away, so that the
  // view does not jump by where the pointer was left.
  platform::SetCursorPos(MouseHomeX, MouseHomeY);
  platform::GetCursorPos();
}

void Tfrmcube::FormKeyUp(std::uint16_t& key, TShiftState) { Keys[key & 255] = false; }

platform::TDevMode DisplayModeRequest(std::uint16_t width, std::uint16_t height,
                                      std::uint16_t bitsPerPixel) {
  platform::TDevMode mode;
  std::memset(&mode, 0, sizeof mode);
  mode.dmSize = sizeof mode;
  mode.dmFields = platform::DM_BITSPERPEL | platform::DM_PELSWIDTH | platform::DM_PELSHEIGHT;
  mode.dmBitsPerPel = bitsPerPixel;
  mode.dmPelsWidth = width;
  mode.dmPelsHeight = height;
  return mode;
}

bool ChangeResolution(std::uint16_t width, std::uint16_t height, std::uint16_t bitsPerPixel) {
  const platform::TDevMode mode = DisplayModeRequest(width, height, bitsPerPixel);
  return platform::ChangeDisplaySettings(&mode, platform::CDS_FULLSCREEN) ==
         platform::DISP_CHANGE_SUCCESSFUL;
}

void RestoreResolution() { platform::ChangeDisplaySettings(nullptr, 0); }

namespace app {

int RunViewer(const TStartupOptions& options) {
  std::unique_ptr<platform::TVideoSystem> video;
  try {
    video = std::make_unique<platform::TVideoSystem>();
  } catch (const std::exception& error) {
    platform::ShowMessage(ErrorMessageText(error.what()), kApplicationTitle,
                          platform::TMessageIcon::Error);
    return 1;
  }
  Tfrmcube form(options);
  // After an error in start-up the level may be partly loaded: no frame may read it.
  if (!form.CreateForm()) return 0;
  if (options.Loaded) options.Loaded();
  return form.Run();
}

}  // namespace app
