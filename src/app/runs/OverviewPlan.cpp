#include "app/runs/OverviewPlan.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <string_view>

#include "app/viewer/frmMain.h"
#include "genom/genom.h"
#include "gl/PrintText.h"

namespace app {
namespace {

constexpr double kFirstGridStep = 512;
constexpr int kMostGridLines = 16;

bool IsItemFamily(TEntityFamily family) {
  using enum TEntityFamily;
  return family == Item || family == Weapon || family == HealthArmour;  // ammunition would crowd the plan
}

// The multiples of `step` from `low` to `high`.
std::vector<double> Multiples(double low, double high, double step) {
  std::vector<double> values;
  for (double v = std::ceil(low / step) * step; v <= high && values.size() <= kMostGridLines + 1; v += step)
    values.push_back(v);
  return values;
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value + 0.0);  // + 0: ceil(-0.3) is -0, shown as 0
  return text;
}

}  // namespace

double GridStep(const TOverviewFrame& frame) {
  double step = kFirstGridStep;
  const double span = std::max(frame.Right - frame.Left, frame.Top - frame.Bottom);
  // Bounded: a frame of 1e37 units reaches its step in about 115 doublings.
  while (span / step > kMostGridLines && std::isfinite(step)) step *= 2;
  return step;
}

std::string ShortName(const std::string& className) {
  for (const std::string_view prefix : {"item_", "weapon_", "ammo_", "holdable_", "team_CTF_"})
    if (className.size() > prefix.size() && className.compare(0, prefix.size(), prefix) == 0)
      return className.substr(prefix.size());
  return className;
}

std::vector<TOverviewLabel> PlanLabels(const TOverviewFrame& frame, const std::vector<TPlacedEntity>& places,
                                       const std::vector<TSpawnPoint>& spawns) {
  std::vector<TOverviewLabel> labels;
  const double step = GridStep(frame);
  // Along the top and the left edge, clear of the scale bar in the bottom left corner.
  for (const double x : Multiples(frame.Left, frame.Right, step))
    labels.push_back({Number(x), frame.PixelX(x) + 3, frame.Height - 18.0});
  for (const double y : Multiples(frame.Bottom, frame.Top, step))
    if (frame.PixelY(y) > 40) labels.push_back({Number(y), 3, frame.PixelY(y) + 3});
  for (const TPlacedEntity& place : places)
    if (place.Point && IsItemFamily(place.Family))
      labels.push_back({ShortName(place.ClassName), frame.PixelX(place.Position.X) + 4,
                        frame.PixelY(place.Position.Y) - 6});
  for (std::size_t i = 0; i < spawns.size(); ++i)
    labels.push_back({std::to_string(i + 1), frame.PixelX(spawns[i].Origin.X) + 7,
                      frame.PixelY(spawns[i].Origin.Y) + 2});
  return labels;
}

void DrawPlanGrid(const TOverviewFrame& frame) {
  const double step = GridStep(frame);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glColor4ub(255, 255, 255, 72);
  glLineWidth(1);
  glBegin(GL_LINES);
  for (const double x : Multiples(frame.Left, frame.Right, step)) {
    glVertex2d(frame.PixelX(x), 0);
    glVertex2d(frame.PixelX(x), frame.Height);
  }
  for (const double y : Multiples(frame.Bottom, frame.Top, step)) {
    glVertex2d(0, frame.PixelY(y));
    glVertex2d(frame.Width, frame.PixelY(y));
  }
  glEnd();
  glDisable(GL_BLEND);
  glColor4ub(255, 255, 255, 255);
}

void DrawPlanLabels(const std::vector<TOverviewLabel>& labels) {
  if (FontTexture == 0) return;
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_ALPHA_TEST);
  glAlphaFunc(GL_GREATER, 0.6f);
  glBindTexture(GL_TEXTURE_2D, FontTexture);
  for (const TOverviewLabel& label : labels) {
    glPushMatrix();
    glTranslated(label.X + 1, label.Y - 1, 0);
    glColor3ub(0, 0, 0);
    PrintText(label.Text, 8.0f, 16.0f);
    glTranslated(-1, 1, 0);
    glColor3ub(255, 255, 255);
    PrintText(label.Text, 8.0f, 16.0f);
    glPopMatrix();
  }
  glDisable(GL_ALPHA_TEST);
  glDisable(GL_TEXTURE_2D);
}

}  // namespace app
