#include "app/runs/Overview.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <limits>
#include <memory>
#include <numbers>
#include <stdexcept>

#include "app/runs/LevelReport.h"
#include "app/runs/Limits.h"
#include "app/runs/OffscreenViewer.h"
#include "app/runs/OverviewPlan.h"
#include "app/viewer/Screenshot.h"
#include "app/viewer/ViewModes.h"
#include "app/viewer/frmMain.h"
#include "genom/genom.h"
#include "gl/PrintText.h"
#include "level/Q3BSP_surfaces.h"
#include "level/SpawnPoints.h"

namespace app {
namespace {

constexpr double kMargin = 0.05;  // of each side, around the level's bounds
// Darker than any lit surface a level is likely to have, but not black, so that the empty
// picture can be told from one whose faces came out black.
constexpr std::uint8_t kBackground[3] = {24, 24, 32};

void Disc(double x, double y, double radius) {
  glBegin(GL_TRIANGLE_FAN);
  glVertex2d(x, y);
  for (int i = 0; i <= 16; ++i) {
    const double a = 2 * std::numbers::pi * i / 16;
    glVertex2d(x + radius * std::cos(a), y + radius * std::sin(a));
  }
  glEnd();
}

void Rect(double x0, double y0, double x1, double y1) {
  glBegin(GL_QUADS);
  glVertex2d(x0, y0);
  glVertex2d(x1, y0);
  glVertex2d(x1, y1);
  glVertex2d(x0, y1);
  glEnd();
}

// A dark-rimmed dot per spawn point with a short stroke the way it faces ("angle": from +X
// towards +Y), drawn over everything.
void DrawSpawnMarks(const TOverviewFrame& frame, const std::vector<TSpawnPoint>& spawns) {
  for (const TSpawnPoint& spawn : spawns) {
    const double x = frame.PixelX(spawn.Origin.X), y = frame.PixelY(spawn.Origin.Y);
    const double a = static_cast<double>(spawn.Angle) * std::numbers::pi / 180;
    // A black outline first, then the mark in its colour a little smaller on top.
    const std::array<std::uint8_t, 3> colour = SpawnMarkColour(spawn.ClassName);
    const struct {
      std::array<std::uint8_t, 3> Colour;
      float LineWidth;
      double Length, Radius;
    } layers[] = {{{0, 0, 0}, 3, 12, 6}, {colour, 1, 11, 4}};
    for (const auto& layer : layers) {
      glColor3ub(layer.Colour[0], layer.Colour[1], layer.Colour[2]);
      glLineWidth(layer.LineWidth);
      glBegin(GL_LINES);
      glVertex2d(x, y);
      glVertex2d(x + layer.Length * std::cos(a), y + layer.Length * std::sin(a));
      glEnd();
      Disc(x, y, layer.Radius);
    }
  }
}

// Bottom left: a white bar on a dark rim, its length in units written above it.
void DrawScaleBar(const TOverviewFrame& frame, double units) {
  const double length = units / frame.UnitsPerPixel;
  const double x = 12, y = 12;
  glColor3ub(0, 0, 0);
  Rect(x - 2, y - 2, x + length + 2, y + 8);
  glColor3ub(255, 255, 255);
  Rect(x, y, x + length, y + 6);
  if (FontTexture == 0) return;  // no font: the length is in the printed summary only
  char label[64];
  std::snprintf(label, sizeof label, "%g units", units);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_ALPHA_TEST);
  glAlphaFunc(GL_GREATER, 0.6f);
  glBindTexture(GL_TEXTURE_2D, FontTexture);
  glPushMatrix();
  glTranslated(x + 1, y + 11, 0);
  glColor3ub(0, 0, 0);
  PrintText(label, 8.0f, 16.0f);
  glTranslated(-1, 1, 0);
  glColor3ub(255, 255, 255);
  PrintText(label, 8.0f, 16.0f);
  glPopMatrix();
  glDisable(GL_ALPHA_TEST);
  glDisable(GL_TEXTURE_2D);
}

}  // namespace

TOverviewFrame FitOverview(const TQuake3BSP& level, const std::vector<TSpawnPoint>& spawns,
                           int width, int height) {
  constexpr double inf = std::numeric_limits<double>::infinity();
  double lo[3] = {inf, inf, inf}, hi[3] = {-inf, -inf, -inf};
  const auto include = [&](const TVector& v) {
    const double p[3] = {v.X, v.Y, v.Z};
    for (int i = 0; i < 3; ++i) {
      lo[i] = std::min(lo[i], p[i]);
      hi[i] = std::max(hi[i], p[i]);
    }
  };
  std::size_t faces = 0;
  for (std::size_t f = 0; f < level.Faces.size() && f < level.FaceVertices.size(); ++f) {
    if (level.Faces[f].FaceType != kPolygonFace || level.FaceVertices[f].empty()) continue;
    ++faces;
    for (const TVector& v : level.FaceVertices[f]) include(v);
  }
  if (faces == 0) throw std::runtime_error("the level has no polygon faces to draw");
  for (const TSpawnPoint& spawn : spawns) include(spawn.Origin);
  for (int i = 0; i < 3; ++i)
    if (!std::isfinite(lo[i]) || !std::isfinite(hi[i]))
      throw std::runtime_error("the level's bounds are not finite");
  const double spanX = hi[0] - lo[0], spanY = hi[1] - lo[1];
  const double usable = 1 - 2 * kMargin;
  TOverviewFrame frame;
  frame.Width = width;
  frame.Height = height;
  frame.UnitsPerPixel = std::max(spanX / (width * usable), spanY / (height * usable));
  // Beyond about 1e37 units the picture's edges would leave the float range OpenGL works in.
  const double extent = std::max({std::abs(lo[0]), std::abs(hi[0]), std::abs(lo[1]), std::abs(hi[1]),
                                  std::abs(lo[2]), std::abs(hi[2])});
  if (!(frame.UnitsPerPixel > 0) || extent > 1e37)
    throw std::runtime_error(frame.UnitsPerPixel > 0 ? "the level's bounds are too large to draw"
                                                     : "the level's bounds have no extent seen from above");
  const double centreX = (lo[0] + hi[0]) / 2, centreY = (lo[1] + hi[1]) / 2;
  frame.Left = centreX - width / 2.0 * frame.UnitsPerPixel;
  frame.Right = centreX + width / 2.0 * frame.UnitsPerPixel;
  frame.Bottom = centreY - height / 2.0 * frame.UnitsPerPixel;
  frame.Top = centreY + height / 2.0 * frame.UnitsPerPixel;
  // Looking down -Z: the highest point nearest. A little room on both sides keeps faces at the
  // extremes inside the depth range even where adding 1 is lost in the float.
  const double pad = std::max(1.0, (hi[2] - lo[2]) * 0.01 + std::max(std::abs(lo[2]), std::abs(hi[2])) * 1e-3);
  frame.Near = -(hi[2] + pad);
  frame.Far = -(lo[2] - pad);
  return frame;
}

double ScaleBarUnits(const TOverviewFrame& frame) {
  const double most = frame.Width / 4.0 * frame.UnitsPerPixel;
  double power = std::pow(10.0, std::floor(std::log10(most)));
  for (const double step : {5.0, 2.0, 1.0})
    if (step * power <= most) return step * power;
  return power / 2;
}

std::array<std::uint8_t, 3> SpawnMarkColour(const std::string& className) {
  if (className.find("blue") != std::string::npos) return {64, 128, 255};
  if (className.find("red") != std::string::npos) return {255, 48, 48};
  return {64, 255, 64};
}

int RunOverview(const TRunOptions& options) {
  std::optional<TLoadedRecords> loaded = LoadLevelRecords(options.LevelPath, options.LevelBytes);
  if (!loaded) return 1;
  const std::vector<TSpawnPoint> spawns = LevelSpawnPoints(loaded->File);
  const auto fail = [&](const std::string& reason) {
    std::cerr << "bspwalk: --overview " << options.LevelPath << ": " << reason << "\n";
    return 1;
  };
  if (!MayWritePicture(options.OverviewPath, std::cerr)) return 1;
  int exitCode = 1;
  const std::unique_ptr<TOffscreenViewer> viewer = StartOffscreenViewer(options, true, exitCode, std::move(*loaded));
  if (!viewer) return exitCode;
  const TWindowSize size = options.Size.value_or(kDefaultSize);

  TOverviewFrame frame;
  try {
    frame = FitOverview(Level, spawns, size.Width, size.Height);
  } catch (const std::exception& e) {
    return fail(e.what());
  }
  glViewport(0, 0, size.Width, size.Height);
  glClearColor(kBackground[0] / 255.0f, kBackground[1] / 255.0f, kBackground[2] / 255.0f, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(frame.Left, frame.Right, frame.Bottom, frame.Top, frame.Near, frame.Far);
  // The surface options of the command line with the view modes over them.
  TRenderOptions render = WithViewModes(options.RenderOptions, options.Viewer.Render);
  render.AllFaces = true;
  render.FreezeVisibility = false;
  Level.RenderLevel({0, 0, 0}, render, LevelRenderCache);

  std::vector<std::uint8_t> pixels = ReadFramePixels(size.Width, size.Height);
  bool drawn = false;
  for (std::size_t i = 0; i + 2 < pixels.size() && !drawn; i += 3)
    drawn = pixels[i] != kBackground[0] || pixels[i + 1] != kBackground[1] || pixels[i + 2] != kBackground[2];
  if (!drawn) return fail("no face of the level shows in the picture");

  glLoadIdentity();
  glOrtho(0, size.Width, 0, size.Height, -1, 1);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_CULL_FACE);
  // With the entity markers the picture is a plan: a grid under the marks, numbers and names over.
  if (render.Markers) DrawPlanGrid(frame);
  const double barUnits = ScaleBarUnits(frame);
  DrawScaleBar(frame, barUnits);
  // Last, so that the bar's label (always drawn now that the font is built in) hides no mark.
  DrawSpawnMarks(frame, spawns);
  if (render.Markers) DrawPlanLabels(PlanLabels(frame, Level.Things.Places, spawns));
  try {
    WritePNG(options.OverviewPath, size.Width, size.Height,
             ReadFramePixels(size.Width, size.Height), true);
  } catch (const std::exception& e) {
    std::cerr << "bspwalk: " << e.what() << "\n";
    return 1;
  }
  std::printf("%s: %d x %d, %g units per pixel, scale bar %g units, %zu spawn points\n",
              options.OverviewPath.c_str(), size.Width, size.Height, frame.UnitsPerPixel,
              barUnits, spawns.size());
  return 0;
}

}  // namespace app
