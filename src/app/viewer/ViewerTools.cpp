// F12 and F5 of the viewer, and --watch: a screenshot that never replaces a file, and a reload
// that keeps the old level when the new file fails and says why on the heads-up text.
#include <GL/gl.h>
#include <png.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <system_error>

#include "app/viewer/Screenshot.h"
#include "app/viewer/ViewModes.h"
#include "app/viewer/frmMain.h"
#include "camera/CameraClass.h"
#include "level/BSPFile.h"
#include "level/Things.h"
#include "platform/AtomicFile.h"
#include "platform/Files.h"
#include "platform/Messages.h"

namespace fs = std::filesystem;

namespace app {
namespace {

constexpr float kNoteMs = 2000;
constexpr float kWatchPollMs = 1000;
constexpr int kMostScreenshots = 100000;

// The level's file name without folder and extension, in either separator.
std::string LevelStem(const std::string& levelPath) {
  const std::size_t slash = levelPath.find_last_of("/\\");
  std::string name = slash == std::string::npos ? levelPath : levelPath.substr(slash + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name.empty() ? "level" : name;
}

void DeleteTextures(const std::vector<GLuint>& names) {
  for (const GLuint name : names)
    if (name != 0) glDeleteTextures(1, &name);
}

// Every texture a load made: surface images, lightmaps, the shaders' stages and the sky's. A name shared by several
// slots is deleted more than once, which GL ignores.
void DeleteLevelTextures(const TQuake3BSP& level) {
  DeleteTextures(level.SurfaceTextures);
  DeleteTextures(level.LightmapTextures);
  DeleteTextures(level.Shading.SkyBox);
  DeleteTextures({level.Shading.SkyClouds, level.Shading.WhiteTexture});
  for (const TShadedSurface& surface : level.Shading.Surfaces)
    for (const std::vector<GLuint>& frames : surface.StageTextures) DeleteTextures(frames);
  for (const std::vector<GLuint>& frames : level.Shading.Sky.StageTextures) DeleteTextures(frames);
}

// After a reload: a pose that lies in no cluster of the new level (another level put in the
// file's place) would show only the void; the new level's first spawn point shows it.
void KeepCameraInside(TViewerState& state) {
  const std::int32_t leaf = Level.FindLeaf({Camera.X, Camera.Y, Camera.Z});
  if (leaf >= 0 && static_cast<std::size_t>(leaf) < Level.Leaves.size() &&
      Level.Leaves[static_cast<std::size_t>(leaf)].Cluster >= 0)
    return;
  const std::vector<TSpawnPoint> spawns = FindSpawnPoints(Level.Things.Entities.Entities);
  if (spawns.empty()) return;
  const TViewPose pose = SpawnViewPose(spawns.front());
  InitCamera(Camera, pose.Eye.X, pose.Eye.Y, pose.Eye.Z, pose.Yaw, pose.Pitch);
  state.SpawnPoint = 0;
}


}  // namespace

void SetNote(TViewerState& state, const std::string& text, float until) {
  state.Note = text;
  state.NoteUntil = until;
}

std::string SaveNumberedScreenshot(const std::string& levelPath, int width, int height) {
  const std::vector<std::uint8_t> pixels = ReadFramePixels(width, height);
  const std::string stem = "bspwalk-" + LevelStem(levelPath) + "-";
  const auto name = [&stem](int n) { return stem + std::to_string(n) + ".png"; };
  // The first number no file (nor link, even a dangling one) has: the one a failure is about.
  const auto firstFree = [&name] {
    int n = 1;
    for (std::error_code ec; n < kMostScreenshots && fs::exists(fs::symlink_status(name(n), ec)); ++n) {
    }
    return name(n);
  };
  try {
    // Written whole under a temporary name, then given the first free number: a name taken
    // meanwhile is never replaced.
    platform::TAtomicFile file(name(1), 0644, false);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    const png_int_32 bottomUpStride = -static_cast<png_int_32>(width * 3);
    if (!png_image_write_to_stdio(&image, file.Stream(), 0, pixels.data(), bottomUpStride, nullptr)) {
      const std::string reason = image.message;
      png_image_free(&image);
      throw std::runtime_error("Cannot write " + firstFree() + ": " + reason);
    }
    for (int n = 1; n <= kMostScreenshots; ++n)
      if (file.CommitNew(name(n))) return name(n);
  } catch (const std::system_error& e) {
    throw std::runtime_error("Cannot write " + firstFree() + ": " + e.code().message());
  }
  throw std::runtime_error("Cannot write " + stem + "N.png: every number up to " +
                           std::to_string(kMostScreenshots) + " is taken");
}

TFileStamp StampOf(const std::string& path) {
  TFileStamp stamp;
  std::error_code ec;
  const fs::path resolved = platform::ResolvePath(path);
  const fs::file_status status = fs::status(resolved, ec);
  if (ec || !fs::exists(status)) return stamp;
  stamp.Exists = true;
  stamp.Regular = fs::is_regular_file(status);
  if (!stamp.Regular) return stamp;
  stamp.Size = fs::file_size(resolved, ec);
  stamp.Modified = fs::last_write_time(resolved, ec);
  return stamp;
}

std::string ReloadLevel(TQuake3BSP& level, const std::string& path, const TLevelOptions& options, bool watching) {
  const TFileStamp stamp = StampOf(path);
  // A level named in the game data is no file on disk (a folder of its name may be); it reloads
  // through the search path.
  std::error_code ec;
  const bool inGameData = (!stamp.Exists || fs::is_directory(platform::ResolvePath(path), ec)) &&
                          platform::FileExists(path);
  if (!stamp.Exists && !inGameData) return path + ": the file is gone";
  if (!inGameData && !stamp.Regular) return path + ": not a file";
  if (!inGameData && stamp.Size == 0) return path + ": the file is empty";

  // Whatever the loaders would show in a box (a missing image, a missing file) is kept instead:
  // the first message becomes the reason when the load fails.
  std::vector<std::string> messages;
  TQuake3BSP fresh;
  std::string reason;
  {
    const platform::TScopedMessageTarget capture(
        [&messages](const std::string& text, const std::string&, platform::TMessageIcon) {
          messages.push_back(text);
        });
    try {
      if (options.Budget) options.Budget->Restart();  // the old level goes, and its account with it
      if (!fresh.LoadBSP(path, options)) reason = messages.empty() ? "cannot be opened" : messages.front();
    } catch (const std::exception& error) {
      reason = error.what();
    }
  }
  if (!reason.empty()) {
    DeleteLevelTextures(fresh);
    // A file --watch saw change may still be being written: where it ends tells how far it got.
    if (watching)
      if (const auto bytes = platform::ReadWholeFile(path))
        if (const std::optional<std::string> cut = CutShortText(*bytes)) reason += "; " + *cut;
    return path + ": " + reason;
  }
  DeleteLevelTextures(level);
  level = std::move(fresh);
  return {};
}

void RunToolsBeforeFrame(TViewerState& state, float now) {
  if (state.KeysHintPending && state.Note.empty()) {
    SetNote(state, "H shows the keys", now + 3 * kNoteMs);
    state.KeysHintPending = false;
  }
  std::optional<TFileStamp>& watched = state.WatchedStamp;
  if (state.Watch && (now - state.LastWatchPoll >= kWatchPollMs || now < state.LastWatchPoll)) {
    state.LastWatchPoll = now;
    const TFileStamp stamp = StampOf(state.LevelPath);
    if (watched && !(stamp == *watched)) state.ReloadRequested = true;
    watched = stamp;
  }
  if (!state.ReloadRequested) return;
  state.ReloadRequested = false;
  const std::string reason = ReloadLevel(Level, state.LevelPath, state.LevelOptions, state.Watch);
  if (state.Watch) watched = StampOf(state.LevelPath);
  // A failure stays on screen until the next reload: the level shown is not the file's.
  if (reason.empty()) {
    LevelRenderCache = {};
    SetNote(state, "Reloaded " + state.LevelPath, now + kNoteMs);
    RestartClock(state);
    if (state.Watch) KeepCameraInside(state);
  } else {
    SetNote(state, "Reload failed, old level kept: " + reason, 3.0e38f);
  }
}

void RunToolsAfterFrame(TViewerState& state, float now, int width, int height) {
  if (!state.Note.empty() && now >= state.NoteUntil) state.Note.clear();
  if (!state.ScreenshotRequested) return;
  state.ScreenshotRequested = false;
  try {
    // The whole path: the picture goes to the base folder, which is seldom where one looks.
    std::error_code ec;
    const fs::path saved = fs::absolute(SaveNumberedScreenshot(state.LevelPath, width, height), ec);
    SetNote(state, "Saved " + saved.string(), now + kNoteMs);
  } catch (const std::exception& error) {
    SetNote(state, error.what(), now + kNoteMs);
  }
}

}  // namespace app
