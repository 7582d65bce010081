#pragma once
// --portals: the level's portal surfaces (faces whose shader says `portal`) and what each shows.
// A face pairs with the misc_portal_surface entity nearest to it; that entity's target names a
// misc_portal_camera, whose own target gives its view direction (else its angles), and whose roll
// turns the picture about that direction. A face whose entity names no camera is a mirror; a face
// without an entity within kPortalEntityReach of its plane shows nothing beyond its stages.
// Pure: worked out once at load, drawn by render/Portals.cpp.
#include <array>
#include <cstdint>
#include <vector>

#include "genom/genom.h"
#include "level/Entities.h"

struct TQuake3BSP;

inline constexpr float kPortalEntityReach = 64;
// At most this many portal faces are kept (a level of the game has one or two), and at most
// kMostPortalViews of them are drawn as views in one frame, the nearest first.
inline constexpr std::size_t kMostPortalFaces = 64;
inline constexpr std::size_t kMostPortalViews = 2;
// What the load looks at: the faces of a portal shader, and the misc_portal_surface entities (a
// real level has a few of each).
inline constexpr std::size_t kMostPortalFacesExamined = 4 * kMostPortalFaces, kMostPortalEntities = 4096;

struct TPortalView {
  std::int32_t Face = 0;
  std::int32_t Texture = 0;
  TVector Normal{0, 0, 1};  // the face's plane: Normal . p = Distance, the seen side above it
  float Distance = 0;
  TVector Centre{};  // the mean of the face's vertices
  bool Mirror = false;
  // Maps the level round the camera onto the space behind the face (a mirror: reflects it about
  // the plane), column-major as OpenGL takes it.
  std::array<double, 16> Matrix{};
  // The plane (a, b, c, d) kept in the level before Matrix: in front of the camera, or in front of
  // the mirror.
  std::array<double, 4> Clip{};
  TVector Camera{};  // where the view's visible faces are marked from (a mirror: unused)
};

// A unit vector perpendicular to the unit vector v: the axis of v's smallest component (the first
// of equals) less its part along v.
TVector PerpendicularTo(const TVector& v);

// The camera's axes: forward along `direction` (unit), the picture's left and up from
// PerpendicularTo(direction) turned by rollDegrees about it.
std::array<TVector, 3> PortalCameraAxes(const TVector& direction, float rollDegrees);

// Matrix and clip plane of a view through the face's plane (normal, distance) whose entity stands
// at surfaceOrigin, seen from a camera at cameraOrigin with the given axes.
void SetPortalTransform(TPortalView& view, const TVector& surfaceOrigin, const TVector& cameraOrigin,
                        const std::array<TVector, 3>& cameraAxes);
void SetMirrorTransform(TPortalView& view);

// Every portal face of the level (polygons and meshes of a shader with Portal) with its view.
std::vector<TPortalView> FindPortalViews(const TQuake3BSP& level, const std::vector<TEntity>& entities);

// The eye seen through the view: where the main eye stands in the camera's level (Matrix's inverse).
TVector PortalEye(const TPortalView& view, const TVector& eye);
