#pragma once
// Curved surfaces: a face of type 2 holds a grid of w x h control points (both odd, at least 3),
// read as ((w - 1) / 2) x ((h - 1) / 2) biquadratic Bezier pieces, each over a 3 x 3 block that
// shares its last row or column with the next piece. Tessellation turns the grid into an ordinary
// triangle list over evaluated vertices. Pure: no GL, no files.
//
// Exact borders. Every vertex on a piece's border is evaluated from the three control points of
// that border alone, by one formula that gives the same bits when the three points are taken in
// the opposite order. So neighbouring pieces of a face, and two faces whose borders hold the same
// control points (in either direction, as a row of one and a column of the other), produce
// identical border vertices at the same segment count: no crack can open between them.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "level/Q3BSP.h"

// The largest grid side drawn. With N <= 64 one face gives at most 2 x (16 x 64)^2 = 2,097,152
// triangles over (16 x 64 + 1)^2 = 1,050,625 vertices. (OpenArena's largest grid is 11 x 13.)
inline constexpr std::int32_t kLargestPatchSide = 33;

// Why a face's grid cannot be drawn ("its sides must be odd and at least 3", ...), or nothing
// when it can: both sides odd, from 3 to kLargestPatchSide, and w x h equal to NumVertices.
std::optional<std::string> PatchGridProblem(const TBSPFace& face);

// Triangles of a w x h grid tessellated at n segments per piece side: 2 (pw n) (ph n).
std::int64_t PatchTriangleCount(std::int32_t width, std::int32_t height, std::int32_t n);

// One piece at n segments per side (1 <= n <= kMostTessellation): (n + 1)^2 vertices, row j
// (along the control rows, v = j / n) after row j - 1, column i (u = i / n) within a row. The
// control points are row after row. Every field is evaluated with the same basis; colours are
// rounded to the nearest byte. Corners are the corner control points, bit for bit.
std::vector<TBSPVertex> EvaluatePiece(std::span<const TBSPVertex, 9> control, std::int32_t n);

struct TPatchMesh {
  std::vector<TBSPVertex> Vertices;  // (pw n + 1) x (ph n + 1), row after row
  std::vector<std::uint32_t> Indices;  // three per triangle, wound as the level's polygons are
};

// The whole grid (width x height control points, row after row, PatchGridProblem passed) at n
// segments per piece side. Pieces share their border rows and columns.
TPatchMesh TessellatePatch(std::span<const TBSPVertex> grid, std::int32_t width,
                           std::int32_t height, std::int32_t n);
