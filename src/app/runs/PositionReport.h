#pragma once
// What --at prints: what the visibility pass makes of a camera position, from the checked records
// alone. Needs no window and no GL context.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/runs/RunOptions.h"
#include "level/BSPFile.h"
#include "level/Q3BSP.h"
#include "level/Things.h"

namespace app {

// The part of the level model that the visibility pass and the face count read, built from the
// checked records with the loader's rules: tree, planes, leaves, leaf faces, visibility data,
// faces, the FaceVisible flags and the texture groups (face f in group t when its TextureIndex is
// t, ascending). No textures, lightmaps or vertex arrays.
TQuake3BSP VisibilityModel(const TBSPFile& records);

struct TPositionReport {
  std::int32_t Leaf = -1;
  std::int32_t Cluster = -1;
  std::int32_t MarkedFaces = 0;       // faces whose FaceVisible flag the marking pass set
  std::int32_t VisibleFaceCount = 0;  // what the frame would count: marked faces in a texture group
  // With --surfaces all: marked faces by type (polygon, patch, mesh, billboard, other).
  std::optional<std::array<std::int32_t, 5>> MarkedByType;
  // With --fast: of the faces a frame batches (polygons; with --surfaces all every drawn face),
  // those whose box the view from the position reaches (CullAt).
  std::optional<std::int32_t> DrawnAfterCulling;
  // With --brush-models: the brush models marked visible and their faces (in MarkedFaces too).
  std::optional<TBrushModelMarks> BrushModels;
};

// With --fast, after ReportAt: counts the report's DrawnAfterCulling for a view in `direction`
// at the default field of view and the aspect of the run's picture, each face's box taken from
// its vertices in the records (a curved surface's control points hold the whole surface).
void CullAt(TPositionReport& report, const TQuake3BSP& level, const TBSPFile& records,
            const TVector& position, TAtDirection direction, double aspect,
            const std::vector<std::uint8_t>* drawn = nullptr);

// Runs the marking pass of a frame at the position (FaceVisible is rewritten).
// With `drawn` (PlanSurfaces' flags, --surfaces all) the marked faces are also counted by type and
// VisibleFaceCount counts only the faces such a frame draws. With `brushModels` the level's brush
// models (AddBrushModels) are marked too, as a frame with --brush-models marks them.
TPositionReport ReportAt(TQuake3BSP& level, const TVector& position,
                         const std::vector<std::uint8_t>* drawn = nullptr, bool brushModels = false);

std::string PositionText(const TVector& position, const TPositionReport& report);
// One line of JSON Lines per queried position: the four counts, then "Position": [x, y, z]
// (and "MarkedByType" with --surfaces all).
std::string PositionJson(const TVector& position, const TPositionReport& report);

// The whole run of --at: a load failure prints one line and gives exit code 1.
int RunAt(const TRunOptions& options);

}  // namespace app
