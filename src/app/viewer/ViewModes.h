#pragma once
// The viewer's tools for people who build and study levels: view modes (F1 F2 F3 F4 F6), the
// information overlay (Tab), flying straight up and down (E, Space, Q, C), screenshots (F12),
// reloading the level (F5, --watch), the key reference (H), the clock of moving surfaces (P), and the field of view and heads-up
// switch of every view.
// With everything at its default a frame is the plain one, call for call and line for line.
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "camera/CameraClass.h"
#include "level/Q3BSP.h"

namespace app {

// The vertical field of view of the design's frame, and of every run without --fov.
inline constexpr double kDesignFovDegrees = 80;

// What --watch compares: the file's existence, kind, size and modification time.
struct TFileStamp {
  bool Exists = false;
  bool Regular = false;
  std::uintmax_t Size = 0;
  std::filesystem::file_time_type Modified{};
  bool operator==(const TFileStamp&) const = default;
};

// The viewer's state: the view modes, the tools' requests and notes, the watch, the clock and the
// kind of run. One value, owned by the program that runs the frames (the window's Tfrmcube, or
// the offscreen viewer of the runs without a screen) and passed to what reads or changes it; the
// command line sets its start (app/cli/Launch.h).
struct TViewerState {
  // The load's own render options (--shaders, --fast, the fidelity options, the clock's time):
  // what every paint pass hands to RenderLevel, with the view modes below over them.
  TRenderOptions LevelRender;
  // The view modes (F1 F2 F3 F4 F6 F7, --mode, --freeze): only their colouring, wireframe, freeze
  // and markers count.
  TRenderOptions Render;
  bool Overlay = false;   // Tab: the extra heads-up line and the shadow under every line
  bool KeyReference = false;  // H: the key table over the view
  bool Hud = true;        // false for --no-hud: no heads-up text at all
  double FovDegrees = kDesignFovDegrees; // vertical field of view
  bool Watch = false;     // --watch: reload when the level file changes
  std::string LevelPath;  // what F5 and --watch reload
  TLevelOptions LevelOptions;  // and how it was loaded
  bool ReloadRequested = false;
  bool ScreenshotRequested = false;
  // A note under the heads-up lines (a saved screenshot, a reload and why it failed), shown until
  // NoteUntil on the tick clock; a failed reload's reason stays until the next reload.
  std::string Note;
  float NoteUntil = 0;
  // --watch: the file as the last poll saw it (none before the first), and when that was.
  std::optional<TFileStamp> WatchedStamp;
  float LastWatchPoll = 0;
  // A run that names its level (LEVEL, --data or BSPWALK_DATA) rather than the fixed level of the
  // run without arguments: Esc quits on its key-down event, the heads-up text always has its
  // shadow, and a missing font.tga gives way to the built-in font without a message.
  bool LevelRun = false;
  // The run starts at a pose of its own (a spawn point of its level, or --camera): the first
  // frame in full screen turns nothing, wherever the pointer was.
  bool OwnStartPose = false;
  // The clock of moving surfaces (--shaders): seconds of the level's time, run from the tick clock
  // while not paused (P); it starts at 0 with each load of the level.
  double ClockSeconds = 0;
  bool ClockPaused = false;
  std::optional<float> ClockTick;  // the tick of the last frame that advanced it
  // PageDown and PageUp: the spawn point gone to last (-1: none yet).
  std::int32_t SpawnPoint = -1;
  // A run with LEVEL says once, in the note, that H shows the keys.
  bool KeysHintPending = false;
  // I: the place (in Level.Things.Places) inspected and its panel's lines; none while hidden.
  std::optional<std::size_t> Inspected;
  std::vector<std::string> InspectorLines;
  // M: the pointer shown and the mouse look stopped; a left click then inspects what it points at.
  bool PointerShown = false;
};

// The frame's render options: `base` (the load's own, such as --shaders) with the view modes of
// `modes` over them.
TRenderOptions WithViewModes(const TRenderOptions& base, const TRenderOptions& modes);

// Virtual-key codes of the tool keys.
inline constexpr std::uint16_t VK_TAB = 9, VK_SPACE = 32, VK_C = 67, VK_E = 69, VK_H = 72, VK_P = 80, VK_Q = 81,
                               VK_F1 = 112, VK_F2 = 113, VK_F3 = 114, VK_F4 = 115, VK_F5 = 116,
                               VK_F6 = 117, VK_F7 = 118, VK_F12 = 123;

// Toggles the mode of a tool key, or asks for a reload or screenshot, on the key's first down
// event (`wasDown`: the key was already held, an auto-repeat). F1, F2 and F6 choose the colouring
// one at a time (pressing the active one goes back to the plain frame); F3 and F4 combine with
// everything. F4 freezes at `camera`. False for a key that is not a tool key.
bool HandleToolKey(std::uint16_t key, bool wasDown, const TVector& camera, TViewerState& state);

// The level's clock at tick `now` (milliseconds): advanced by the ticks since the last call unless
// paused; a tick count that went back (its wrap) advances nothing.
double AdvanceClock(TViewerState& state, float now);
void RestartClock(TViewerState& state);

// True when any view mode is on, or the overlay: the heads-up text then has its extra line.
bool ExtraLineShown(const TViewerState& state);

// "textures", "lightmaps", "clusters", "wireframe", "freeze", "entities", joined by '+' in that order;
// "plain" when none is on.
std::string ModeNames(const TRenderOptions& options);

// Applies a --mode list ("textures", "lightmaps", "wireframe", "clusters", "entities", comma
// separated).
// Raises std::invalid_argument for an unknown name or two colourings.
void ApplyModeList(const std::string& list, TRenderOptions& options);

// The overlay line: modes, the camera's leaf and cluster, the clusters its row admits, and the
// pose as a --camera option; with the markers on (F7), the entity nearest the view centre.
std::string OverlayLine(const TQuake3BSP& level, const TCamera& camera, const TViewerState& state);

// ---- The level's things (EntityKeys.cpp). ----

// " near: #37 item_quad" for the marked entity nearest the view centre; "" for none.
std::string NearestEntityText(const TQuake3BSP& level, const TCamera& camera);

// PageDown and PageUp (the next and previous spawn point, as --spawn numbers them) and G (the
// entity in sight nearest the view centre, framed as --goto frames it) move the camera,
// with a note saying where to; on the key's first down event. False for any other key.
// I inspects the entity in sight at the view centre (a trigger only with the markers on): its
// index, class and every key in a panel, until I again; G then goes to it.
inline constexpr std::uint16_t VK_PRIOR = 33, VK_NEXT = 34, VK_G = 71, VK_I = 73;
bool HandleEntityKey(std::uint16_t key, bool wasDown, const TQuake3BSP& level, TCamera& camera, float now,
                     TViewerState& state);

// With the pointer shown (M), a left click at (x, y) of the client area (pixels from the top
// left) inspects as I does, along the line through that pixel instead of the view centre; a note
// says when nothing is in sight there.
inline constexpr std::uint16_t VK_M = 77;
void HandleEntityClick(int x, int y, int width, int height, const TQuake3BSP& level, const TCamera& camera, float now,
                       TViewerState& state);
// The direction (not of unit length) from the eye through the middle of pixel (x, y) of a
// width x height client area under the vertical field of view.
TVector ClickDirection(const TCamera& camera, double fovDegrees, int width, int height, int x, int y);

// The number of clusters the row of `cluster` admits; every cluster for a negative one or a
// level without rows (outside sees everything).
std::int32_t AdmittedClusterCount(const TQuake3BSP& level, std::int32_t cluster);

// The heads-up lines as DrawHud draws them, plus the extra lines (overlay, note) under them, each
// with a dark one-pixel shadow below and to the right.
void DrawHudWithShadow(int clientWidth, int clientHeight, const std::array<std::string, 8>& lines,
                       const std::string& overlay, const std::string& note);

// The text cut into lines of at most `columns` characters, after a space (dropped) or a slash
// where there is one; never no line.
std::vector<std::string> WrapText(const std::string& text, std::size_t columns);

// The note while P has paused the clock.
inline constexpr const char* kClockPausedNote = "Clock paused: P runs it again";

// The heads-up line where the key reference (H) starts: below the eight heads-up lines, the
// overlay line, the note and one free line, so that it never moves when they come and go.
inline constexpr int kKeyReferenceFirstLine = 11;

// The key reference, in the heads-up font with the same shadow, from kKeyReferenceFirstLine on.
void DrawKeyReference(int clientWidth, int clientHeight);

// The inspector's panel (I) where the key reference would stand; nothing while it is hidden.
void DrawInspector(int clientWidth, int clientHeight, const TViewerState& state);

// The panel's lines for a place: "Entity 37: item_quad", then each key and value as the level
// writes them, at most kMostInspectorLines in all, each cut at kInspectorColumns characters.
inline constexpr std::size_t kMostInspectorLines = 30, kInspectorColumns = 100;
std::vector<std::string> InspectorText(const TQuake3BSP& level, const TPlacedEntity& place);

// ---- Screenshots and reload (ViewerTools.cpp). ----

// "bspwalk-<level>-<n>.png" in the working folder with the lowest n from 1 that does not exist,
// created exclusively so that no file is ever replaced; returns the name. <level> is the level
// file's name without folder and extension. Raises std::runtime_error with the reason.
std::string SaveNumberedScreenshot(const std::string& levelPath, int width, int height);

// Loads the level anew into `level`, keeping the old one when the new file fails; returns the
// empty string on success, else the reason (no message box is shown either way). `watching`
// (--watch): the reason says where a file cut short ends.
std::string ReloadLevel(TQuake3BSP& level, const std::string& path,
                        const TLevelOptions& options = {}, bool watching = false);

TFileStamp StampOf(const std::string& path);

// Once per frame: before drawing, the F5 request and the --watch poll (about once a second);
// after the heads-up text and before the swap, the F12 request on the finished picture.
void RunToolsBeforeFrame(TViewerState& state, float now);
void RunToolsAfterFrame(TViewerState& state, float now, int width, int height);

// Shows `text` under the heads-up lines until `until` on the tick clock.
void SetNote(TViewerState& state, const std::string& text, float until);

}  // namespace app
