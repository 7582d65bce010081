#include "app/viewer/ViewModes.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <vector>

#include "app/viewer/KeyTable.h"
#include "app/viewer/frmMain.h"
#include "genom/genom.h"
#include "gl/PrintText.h"
#include "level/EditorView.h"

namespace app {

namespace {

using TColouring = TRenderOptions::TColouring;

void ToggleColouring(TViewerState& state, TColouring colouring) {
  TColouring& current = state.Render.Colouring;
  current = current == colouring ? TColouring::Plain : colouring;
}

}  // namespace

TRenderOptions WithViewModes(const TRenderOptions& base, const TRenderOptions& modes) {
  TRenderOptions options = base;
  options.Colouring = modes.Colouring;
  options.Wireframe = modes.Wireframe;
  options.FreezeVisibility = modes.FreezeVisibility;
  options.FreezePosition = modes.FreezePosition;
  options.Markers = modes.Markers;
  return options;
}

bool HandleToolKey(std::uint16_t key, bool wasDown, const TVector& camera, TViewerState& state) {
  switch (key) {
    case VK_F1: case VK_F2: case VK_F3: case VK_F4: case VK_F5: case VK_F6: case VK_F7: case VK_F12:
    case VK_TAB: case VK_H: case VK_P: break;
    default: return false;
  }
  if (wasDown) return true;  // held keys repeat; a toggle happens once per press
  TRenderOptions& render = state.Render;
  switch (key) {
    case VK_F1: ToggleColouring(state, TColouring::SurfaceImages); break;
    case VK_F2: ToggleColouring(state, TColouring::Lightmaps); break;
    case VK_F6: ToggleColouring(state, TColouring::Clusters); break;
    case VK_F3: render.Wireframe = !render.Wireframe; break;
    case VK_F4:
      render.FreezeVisibility = !render.FreezeVisibility;
      render.FreezePosition = camera;
      break;
    case VK_F5: state.ReloadRequested = true; break;
    case VK_F7: render.Markers = !render.Markers; break;
    case VK_F12: state.ScreenshotRequested = true; break;
    case VK_TAB: state.Overlay = !state.Overlay; break;
    case VK_H: state.KeyReference = !state.KeyReference; break;
    case VK_P:
      // A paused clock looks like a broken level: the note says so until P runs it again.
      state.ClockPaused = !state.ClockPaused;
      if (state.ClockPaused) {
        state.Note = kClockPausedNote;
        state.NoteUntil = 3.0e38f;
      } else if (state.Note == kClockPausedNote) {
        state.Note.clear();
      }
      break;
  }
  return true;
}

double AdvanceClock(TViewerState& state, float now) {
  if (state.ClockTick && !state.ClockPaused && now > *state.ClockTick)
    state.ClockSeconds += static_cast<double>(now - *state.ClockTick) / 1000.0;
  state.ClockTick = now;
  return state.ClockSeconds;
}

void RestartClock(TViewerState& state) {
  state.ClockSeconds = 0;
  state.ClockTick.reset();
}

bool ExtraLineShown(const TViewerState& state) {
  const TRenderOptions& r = state.Render;
  return state.Overlay || r.Colouring != TColouring::Plain || r.Wireframe || r.FreezeVisibility ||
         r.Markers;
}

std::string ModeNames(const TRenderOptions& options) {
  std::string names;
  const auto add = [&names](const char* name) { names += (names.empty() ? "" : "+") + std::string(name); };
  switch (options.Colouring) {
    case TColouring::SurfaceImages: add("textures"); break;
    case TColouring::Lightmaps: add("lightmaps"); break;
    case TColouring::Clusters: add("clusters"); break;
    case TColouring::Plain: break;
  }
  if (options.Wireframe) add("wireframe");
  if (options.FreezeVisibility) add("freeze");
  if (options.Markers) add("entities");
  return names.empty() ? "plain" : names;
}

void ApplyModeList(const std::string& list, TRenderOptions& options) {
  std::size_t start = 0;
  bool colouringGiven = false;
  while (true) {
    const std::size_t comma = list.find(',', start);
    const std::string name = list.substr(start, comma == std::string::npos ? comma : comma - start);
    std::optional<TColouring> colouring;
    if (name == "textures") colouring = TColouring::SurfaceImages;
    else if (name == "lightmaps") colouring = TColouring::Lightmaps;
    else if (name == "clusters") colouring = TColouring::Clusters;
    else if (name == "wireframe") options.Wireframe = true;
    else if (name == "entities") options.Markers = true;
    else
      throw std::invalid_argument("'" + name +
                                  "' is not one of textures, lightmaps, wireframe, clusters, entities");
    if (colouring) {
      if (colouringGiven && options.Colouring != *colouring)
        throw std::invalid_argument("textures, lightmaps and clusters cannot be combined");
      options.Colouring = *colouring;
      colouringGiven = true;
    }
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
}

std::int32_t AdmittedClusterCount(const TQuake3BSP& level, std::int32_t cluster) {
  const std::int32_t clusters = level.VisData.ClusterCount;
  std::int32_t count = 0;
  for (std::int32_t c = 0; c < clusters; ++c) count += level.IsClusterVisible(cluster, c) != 0;
  return count;
}

std::string OverlayLine(const TQuake3BSP& level, const TCamera& camera, const TViewerState& state) {
  const std::int32_t leaf = level.FindLeaf({camera.X, camera.Y, camera.Z});
  const bool inLeaf = leaf >= 0 && static_cast<std::size_t>(leaf) < level.Leaves.size();
  const std::int32_t cluster = inLeaf ? level.Leaves[static_cast<std::size_t>(leaf)].Cluster : -1;
  char text[256];
  // %g keeps the pose short and exact enough to paste back (six significant digits).
  // The pose twice: as --camera takes it, and as --view takes it (the level editor's angle).
  std::snprintf(text, sizeof text, "  %s leaf:%d cluster:%d sees:%d/%d --camera=%g,%g,%g,%g,%g --view=%g,%g,%g,%g,%g",
                ModeNames(state.Render).c_str(), static_cast<int>(inLeaf ? leaf : -1),
                static_cast<int>(cluster), static_cast<int>(AdmittedClusterCount(level, cluster)),
                static_cast<int>(level.VisData.ClusterCount), static_cast<double>(camera.X),
                static_cast<double>(camera.Y), static_cast<double>(camera.Z),
                static_cast<double>(camera.Yaw), static_cast<double>(camera.Pitch), static_cast<double>(camera.X),
                static_cast<double>(camera.Y), static_cast<double>(camera.Z),
                static_cast<double>(EditorAngleOfYaw(camera.Yaw)), static_cast<double>(EditorPitchOfCamera(camera.Pitch)));
  if (state.Render.Markers) return text + NearestEntityText(level, camera);  // F7
  return text;
}

namespace {

// Heads-up lines with a shadow, the first `firstLine` lines down from the top one.
void DrawShadowedLines(int clientWidth, int clientHeight, const std::vector<std::string>& all,
                       int firstLine) {
  BeginHudText(clientWidth, clientHeight);
  if (firstLine > 0) glTranslatef(0.0f, -16.0f * static_cast<float>(firstLine), 0.0f);
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (i > 0) glTranslatef(0.0f, -16.0f, 0.0f);
    // White first, then the shadow one pixel down and right at the same depth: the depth test
    // (less) keeps the white glyphs where the two overlap, so the shadow lies only beneath.
    glColor3ub(255, 255, 255);
    PrintText(all[i], 8.0f, 16.0f);
    glTranslatef(1.0f, -1.0f, 0.0f);
    glColor3ub(0, 0, 0);
    PrintText(all[i], 8.0f, 16.0f);
    glTranslatef(-1.0f, 1.0f, 0.0f);
  }
  glColor3ub(255, 255, 255);
  EndHudText();
}

}  // namespace

std::vector<std::string> WrapText(const std::string& text, std::size_t columns) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (text.size() - start > columns) {
    // The last space or slash that keeps the line within the columns; a word longer than a
    // line is cut where the line ends.
    std::size_t cut = start + columns;
    for (std::size_t i = start + columns; i > start; --i)
      if (text[i] == ' ' || text[i - 1] == '/') {
        cut = i;
        break;
      }
    lines.push_back(text.substr(start, cut - start));
    start = cut + (text[cut] == ' ' ? 1 : 0);
  }
  lines.push_back(text.substr(start));
  return lines;
}

void DrawHudWithShadow(int clientWidth, int clientHeight, const std::array<std::string, 8>& lines,
                       const std::string& overlay, const std::string& note) {
  std::vector<std::string> all(lines.begin(), lines.end());
  if (!overlay.empty()) all.push_back(overlay);
  // A long note (a reload's reason with its path) wraps rather than running off the screen.
  if (!note.empty())
    for (const std::string& line : WrapText(note, static_cast<std::size_t>(std::max(clientWidth / 8 - 2, 20))))
      all.push_back("  " + line);
  DrawShadowedLines(clientWidth, clientHeight, all, 0);
}

void DrawKeyReference(int clientWidth, int clientHeight) {
  DrawShadowedLines(clientWidth, clientHeight, KeyReferenceLines(), kKeyReferenceFirstLine);
}

void DrawInspector(int clientWidth, int clientHeight, const TViewerState& state) {
  if (state.Inspected && !state.KeyReference)
    DrawShadowedLines(clientWidth, clientHeight, state.InspectorLines, kKeyReferenceFirstLine);
}

}  // namespace app
