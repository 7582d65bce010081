#include "level/Portals.h"

#include <cmath>
#include <limits>
#include <numbers>
#include <optional>
#include <string>

#include "level/Q3BSP.h"

namespace {

double Dot(const TVector& a, const TVector& b) {
  return static_cast<double>(a.X) * b.X + static_cast<double>(a.Y) * b.Y + static_cast<double>(a.Z) * b.Z;
}
TVector Cross(const TVector& a, const TVector& b) {
  return {a.Y * b.Z - a.Z * b.Y, a.Z * b.X - a.X * b.Z, a.X * b.Y - a.Y * b.X};
}
TVector Scaled(const TVector& a, double s) {
  return {static_cast<float>(a.X * s), static_cast<float>(a.Y * s), static_cast<float>(a.Z * s)};
}
TVector Minus(const TVector& a, const TVector& b) { return {a.X - b.X, a.Y - b.Y, a.Z - b.Z}; }
TVector Plus(const TVector& a, const TVector& b) { return {a.X + b.X, a.Y + b.Y, a.Z + b.Z}; }

std::optional<TVector> Unit(const TVector& v) {
  const double length = std::sqrt(Dot(v, v));
  if (!(length > 1e-6) || !std::isfinite(length)) return std::nullopt;
  return Scaled(v, 1.0 / length);
}

std::optional<TVector> OriginOf(const TEntity& entity) {
  const std::string* origin = FindValue(entity, "origin");
  return origin ? ParseThreeNumbers(*origin) : std::nullopt;
}

float NumberOf(const TEntity& entity, const char* key) {
  const std::string* text = FindValue(entity, key);
  const std::optional<float> value = text ? ParseNumber(*text) : std::nullopt;
  return value.value_or(0.0f);
}

const TEntity* Named(const std::vector<TEntity>& entities, const std::string* name) {
  if (!name || name->empty()) return nullptr;
  for (const TEntity& e : entities) {
    const std::string* own = FindValue(e, "targetname");
    if (own && *own == *name) return &e;
  }
  return nullptr;
}

// Toward the camera's target, else by its angles ("angles" pitch yaw roll, or "angle" as a yaw,
// -1 straight up and -2 straight down).
TVector CameraDirection(const std::vector<TEntity>& entities, const TEntity& camera, const TVector& origin) {
  if (const TEntity* target = Named(entities, FindValue(camera, "target")))
    if (const std::optional<TVector> at = OriginOf(*target))
      if (const std::optional<TVector> d = Unit(Minus(*at, origin))) return *d;
  float pitch = 0, yaw = NumberOf(camera, "angle");
  if (const std::string* angles = FindValue(camera, "angles"))
    if (const std::optional<TVector> a = ParseThreeNumbers(*angles)) pitch = a->X, yaw = a->Y;
  if (yaw == -1 && !FindValue(camera, "angles")) return {0, 0, 1};
  if (yaw == -2 && !FindValue(camera, "angles")) return {0, 0, -1};
  const double p = pitch * std::numbers::pi / 180, y = yaw * std::numbers::pi / 180;
  // Angles in steps of 90 degrees give an axis exactly (sin 180 degrees is not 0 in floating
  // point): a stray 1e-16 would choose another perpendicular and turn the picture a quarter round.
  const auto exact = [](double v) { return static_cast<float>(std::abs(v) < 1e-6 ? 0.0 : v); };
  return Unit({exact(std::cos(p) * std::cos(y)), exact(std::cos(p) * std::sin(y)), exact(-std::sin(p))})
      .value_or(TVector{1, 0, 0});
}

struct TSurfaceEntity {
  const TEntity* Entity;
  TVector Origin;
};

// The level's misc_portal_surface entities with an origin, at most kMostPortalEntities of them.
std::vector<TSurfaceEntity> SurfaceEntities(const std::vector<TEntity>& entities) {
  std::vector<TSurfaceEntity> surfaces;
  for (const TEntity& e : entities) {
    if (surfaces.size() == kMostPortalEntities) break;
    if (ClassNameOf(e) != "misc_portal_surface") continue;
    if (const std::optional<TVector> at = OriginOf(e)) surfaces.push_back({&e, *at});
  }
  return surfaces;
}

// The misc_portal_surface nearest the face's centre within reach of its plane.
const TEntity* SurfaceEntity(const std::vector<TSurfaceEntity>& surfaces, const TPortalView& view) {
  const TEntity* best = nullptr;
  double nearest = std::numeric_limits<double>::infinity();
  for (const TSurfaceEntity& surface : surfaces) {
    const TVector& at = surface.Origin;
    if (std::abs(Dot(view.Normal, at) - view.Distance) > kPortalEntityReach) continue;
    const TVector d = Minus(at, view.Centre);
    if (Dot(d, d) < nearest) nearest = Dot(d, d), best = surface.Entity;
  }
  return best;
}

// The face's plane and centre from its vertices; false for a face too small to have one.
bool SetPlane(const TQuake3BSP& level, std::size_t face, TPortalView& view) {
  const AGLNrf3& vertices = level.FaceVertices[face];
  const std::optional<TVector> normal = Unit(level.Faces[face].Normal);
  if (vertices.empty() || !normal) return false;
  TVector sum{0, 0, 0};
  for (const TVector& v : vertices) sum = Plus(sum, v);
  view.Centre = Scaled(sum, 1.0 / static_cast<double>(vertices.size()));
  view.Normal = *normal;
  view.Distance = static_cast<float>(Dot(*normal, view.Centre));
  return std::isfinite(view.Distance);
}

void Place(std::array<double, 16>& m, const std::array<std::array<double, 3>, 3>& r, const std::array<double, 3>& t) {
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col) m[static_cast<std::size_t>(col * 4 + row)] = r[row][col];
    m[static_cast<std::size_t>(12 + row)] = t[row];
  }
  m[3] = m[7] = m[11] = 0;
  m[15] = 1;
}

double Get(const TVector& v, int i) { return i == 0 ? v.X : i == 1 ? v.Y : v.Z; }

}  // namespace

TVector PerpendicularTo(const TVector& v) {
  int smallest = 0;
  for (int i = 1; i < 3; ++i)
    if (std::abs(Get(v, i)) < std::abs(Get(v, smallest))) smallest = i;
  const TVector axis{smallest == 0 ? 1.0f : 0.0f, smallest == 1 ? 1.0f : 0.0f, smallest == 2 ? 1.0f : 0.0f};
  return Unit(Minus(axis, Scaled(v, Dot(axis, v)))).value_or(TVector{0, 0, 1});
}

// The axes pair with the face's (its normal toward the eye, PerpendicularTo(normal), their cross
// product): the first points back out of the camera, so that looking into the face is looking along
// `direction`.
std::array<TVector, 3> PortalCameraAxes(const TVector& direction, float rollDegrees) {
  const TVector back = Scaled(direction, -1);
  const TVector side = PerpendicularTo(direction);
  const double r = rollDegrees * std::numbers::pi / 180;
  // Turned about the back axis (side is perpendicular to it).
  const TVector rolled = Plus(Scaled(side, std::cos(r)), Scaled(Cross(back, side), std::sin(r)));
  return {back, rolled, Cross(back, rolled)};
}

void SetPortalTransform(TPortalView& view, const TVector& surfaceOrigin, const TVector& cameraOrigin,
                        const std::array<TVector, 3>& cameraAxes) {
  const TVector side = PerpendicularTo(view.Normal);
  const std::array<TVector, 3> surface = {view.Normal, side, Cross(view.Normal, side)};
  // The entity's origin dropped onto the plane is the point the camera's origin lands on.
  const TVector origin = Minus(surfaceOrigin, Scaled(view.Normal, Dot(view.Normal, surfaceOrigin) - view.Distance));
  std::array<std::array<double, 3>, 3> r{};
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 3; ++col)
      for (std::size_t i = 0; i < 3; ++i) r[row][col] += Get(surface[i], row) * Get(cameraAxes[i], col);
  std::array<double, 3> t{};
  for (int row = 0; row < 3; ++row)
    t[row] = Get(origin, row) - (r[row][0] * cameraOrigin.X + r[row][1] * cameraOrigin.Y + r[row][2] * cameraOrigin.Z);
  Place(view.Matrix, r, t);
  const TVector ahead = Scaled(cameraAxes[0], -1);
  view.Clip = {ahead.X, ahead.Y, ahead.Z, -Dot(ahead, cameraOrigin)};
  view.Camera = cameraOrigin;
  view.Mirror = false;
}

void SetMirrorTransform(TPortalView& view) {
  std::array<std::array<double, 3>, 3> r{};
  std::array<double, 3> t{};
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col)
      r[row][col] = (row == col ? 1.0 : 0.0) - 2 * Get(view.Normal, row) * Get(view.Normal, col);
    t[row] = 2.0 * view.Distance * Get(view.Normal, row);
  }
  Place(view.Matrix, r, t);
  // The mirror's own face lies on the plane: a unit's margin leaves it out of its reflection.
  view.Clip = {view.Normal.X, view.Normal.Y, view.Normal.Z, -static_cast<double>(view.Distance) - 1};
  view.Mirror = true;
}

TVector PortalEye(const TPortalView& view, const TVector& eye) {
  const auto& m = view.Matrix;
  const double d[3] = {eye.X - m[12], eye.Y - m[13], eye.Z - m[14]};
  TVector out{};
  // The matrix turns without stretching: its inverse turns back by the transpose.
  out.X = static_cast<float>(m[0] * d[0] + m[1] * d[1] + m[2] * d[2]);
  out.Y = static_cast<float>(m[4] * d[0] + m[5] * d[1] + m[6] * d[2]);
  out.Z = static_cast<float>(m[8] * d[0] + m[9] * d[1] + m[10] * d[2]);
  return out;
}

std::vector<TPortalView> FindPortalViews(const TQuake3BSP& level, const std::vector<TEntity>& entities) {
  std::vector<TPortalView> views;
  const TLevelShading& shading = level.Shading;
  const std::vector<TSurfaceEntity> surfaces = SurfaceEntities(entities);
  // Each portal face looks through the surface entities, and each one kept through the entities
  // for its camera: both are bounded, so that a level of many portal faces and many entities costs
  // no more than a real one many times over.
  std::size_t examined = 0;
  for (std::size_t f = 0;
       f < level.Faces.size() && views.size() < kMostPortalFaces && examined < kMostPortalFacesExamined; ++f) {
    const TBSPFace& face = level.Faces[f];
    const std::size_t t = static_cast<std::size_t>(face.TextureIndex);
    if (face.TextureIndex < 0 || t >= shading.Surfaces.size() || !shading.Surfaces[t].Shader ||
        !shading.Surfaces[t].Shader->Portal || (face.FaceType != 1 && face.FaceType != 3) ||
        f >= level.FaceVertices.size())
      continue;
    ++examined;
    TPortalView view;
    view.Face = static_cast<std::int32_t>(f);
    view.Texture = face.TextureIndex;
    if (!SetPlane(level, f, view)) continue;
    const TEntity* surface = SurfaceEntity(surfaces, view);
    if (!surface) continue;
    const TEntity* camera = Named(entities, FindValue(*surface, "target"));
    const std::optional<TVector> cameraOrigin = camera ? OriginOf(*camera) : std::nullopt;
    if (camera && ClassNameOf(*camera) == "misc_portal_camera" && cameraOrigin) {
      const TVector direction = CameraDirection(entities, *camera, *cameraOrigin);
      SetPortalTransform(view, *OriginOf(*surface), *cameraOrigin, PortalCameraAxes(direction, NumberOf(*camera, "roll")));
    } else {
      SetMirrorTransform(view);
    }
    views.push_back(view);
  }
  return views;
}
