// Curved surfaces: the evaluation of a piece, the tessellation of a grid, the exact borders that
// keep neighbouring pieces and faces closed, and the grids and sizes refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "level/BSPFile.h"
#include "level/Patch.h"
#include "level/Q3BSP_surfaces.h"
#include "support/TestSupport.h"

namespace {

TBSPVertex Point(float x, float y, float z) {
  TBSPVertex v{};
  v.Position = {x, y, z};
  v.TexCoord = {x / 64, y / 64};
  v.LightmapCoord = {y, z};
  v.Normal = {0, 0, 1};
  for (auto& c : v.Color) c = static_cast<std::uint8_t>(static_cast<int>(std::fabs(x)) & 0xFF);
  return v;
}

// Control points with awkward values, so that rounding shows if borders are evaluated apart.
std::vector<TBSPVertex> RandomGrid(std::size_t count, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> value(-1000.0f, 1000.0f);
  std::vector<TBSPVertex> grid;
  for (std::size_t i = 0; i < count; ++i) grid.push_back(Point(value(random), value(random), value(random)));
  return grid;
}

bool SameBits(const TBSPVertex& a, const TBSPVertex& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TBSPFace PatchFace(std::int32_t width, std::int32_t height, std::int32_t vertices) {
  TBSPFace face{};
  face.FaceType = kPatchFace;
  face.NumVertices = vertices;
  face.PatchSize[0] = width;
  face.PatchSize[1] = height;
  return face;
}

const std::int32_t kSegmentCounts[] = {1, 2, 3, 7, 8, 64};

}  // namespace

TEST(Patch, CornersAreTheCornerControlPointsAndTrianglesAsCounted) {
  const std::vector<TBSPVertex> grid = RandomGrid(5 * 7, 1);
  for (const std::int32_t n : kSegmentCounts) {
    const TPatchMesh mesh = TessellatePatch(grid, 5, 7, n);
    const std::size_t columns = 2 * static_cast<std::size_t>(n) + 1, rows = 3 * static_cast<std::size_t>(n) + 1;
    ASSERT_EQ(mesh.Vertices.size(), columns * rows) << n;
    EXPECT_TRUE(SameBits(mesh.Vertices.front(), grid[0]));
    EXPECT_TRUE(SameBits(mesh.Vertices[columns - 1], grid[4]));
    EXPECT_TRUE(SameBits(mesh.Vertices[(rows - 1) * columns], grid[30]));
    EXPECT_TRUE(SameBits(mesh.Vertices.back(), grid[34]));
    ASSERT_EQ(static_cast<std::int64_t>(mesh.Indices.size()), 3 * PatchTriangleCount(5, 7, n));
    for (const std::uint32_t index : mesh.Indices) ASSERT_LT(index, mesh.Vertices.size());
  }
}

// Heights along the control rows and columns with a known value at a parameter: a flat grid
// stays exactly flat, a quadratic gives its analytic value.
TEST(Patch, EvaluationMatchesTheBezierBasis) {
  struct TCase {
    const char* Name;
    std::array<float, 9> Heights;  // row after row
    std::int32_t N, I, J;          // vertex (i, j) of the piece at n segments
    float Expected;
  };
  const TCase cases[] = {
      {"flat", {3, 3, 3, 3, 3, 3, 3, 3, 3}, 7, 3, 5, 3.0f},
      {"flat at 64", {-2.5f, -2.5f, -2.5f, -2.5f, -2.5f, -2.5f, -2.5f, -2.5f, -2.5f}, 64, 17, 63, -2.5f},
      {"bump across, midpoint", {0, 4, 0, 0, 4, 0, 0, 4, 0}, 2, 1, 0, 2.0f},
      {"bump across at a quarter", {0, 4, 0, 0, 4, 0, 0, 4, 0}, 4, 1, 2, 1.5f},
      {"rise down, midpoint", {0, 0, 0, 0, 0, 0, 8, 8, 8}, 2, 0, 1, 2.0f},
      {"both, centre", {0, 4, 0, 0, 4, 0, 8, 12, 8}, 8, 4, 4, 4.0f},
      {"tilted plane", {0, 1, 2, 1, 2, 3, 2, 3, 4}, 8, 2, 6, 2.0f},
  };
  for (const TCase& c : cases) {
    std::array<TBSPVertex, 9> control;
    for (std::size_t k = 0; k < 9; ++k)
      control[k] = Point(static_cast<float>(k % 3) * 10, static_cast<float>(k / 3) * 10, c.Heights[k]);
    const std::vector<TBSPVertex> piece = EvaluatePiece(control, c.N);
    const std::size_t side = static_cast<std::size_t>(c.N) + 1;
    const TBSPVertex& v = piece[static_cast<std::size_t>(c.J) * side + static_cast<std::size_t>(c.I)];
    EXPECT_FLOAT_EQ(v.Position.Z, c.Expected) << c.Name;
    // x and y are linear in their control points, so the parameter shows in them exactly.
    EXPECT_FLOAT_EQ(v.Position.X, 20.0f * static_cast<float>(c.I) / static_cast<float>(c.N)) << c.Name;
    EXPECT_FLOAT_EQ(v.Position.Y, 20.0f * static_cast<float>(c.J) / static_cast<float>(c.N)) << c.Name;
    EXPECT_FLOAT_EQ(v.LightmapCoord.T, c.Expected) << c.Name;
    if (c.Heights == std::array<float, 9>{3, 3, 3, 3, 3, 3, 3, 3, 3}) {
      for (const TBSPVertex& p : piece) EXPECT_EQ(p.Position.Z, 3.0f);
    }
  }
}

// Inside a face: the column between two pieces is the same, bit for bit, whether evaluated as
// the right border of one piece or the left border of the next (or the grid's shared column).
TEST(Patch, NeighbouringPiecesShareTheirBorderBitForBit) {
  const std::vector<TBSPVertex> grid = RandomGrid(5 * 3, 2);
  for (const std::int32_t n : kSegmentCounts) {
    std::array<TBSPVertex, 9> left, right;
    for (std::size_t r = 0; r < 3; ++r)
      for (std::size_t c = 0; c < 3; ++c) {
        left[r * 3 + c] = grid[r * 5 + c];
        right[r * 3 + c] = grid[r * 5 + c + 2];
      }
    const std::vector<TBSPVertex> a = EvaluatePiece(left, n), b = EvaluatePiece(right, n);
    const TPatchMesh whole = TessellatePatch(grid, 5, 3, n);
    const std::size_t side = static_cast<std::size_t>(n) + 1, columns = 2 * side - 1;
    for (std::size_t j = 0; j < side; ++j) {
      EXPECT_TRUE(SameBits(a[j * side + side - 1], b[j * side])) << n << " row " << j;
      EXPECT_TRUE(SameBits(whole.Vertices[j * columns + side - 1], b[j * side])) << n;
    }
  }
}

// Two faces whose borders hold the same control points: the first face's top row is the second
// face's first column, run the other way. Their border vertices are the same bits, in reverse.
TEST(Patch, FacesSharingControlPointsMeetBitForBit) {
  for (const unsigned seed : {3u, 4u, 5u}) {
    std::vector<TBSPVertex> first = RandomGrid(9, seed), second = RandomGrid(9, seed + 100);
    for (std::size_t k = 0; k < 3; ++k) second[k * 3] = first[6 + (2 - k)];
    for (const std::int32_t n : kSegmentCounts) {
      const std::vector<TBSPVertex> a = EvaluatePiece(std::span<const TBSPVertex, 9>(first.data(), 9), n);
      const std::vector<TBSPVertex> b = EvaluatePiece(std::span<const TBSPVertex, 9>(second.data(), 9), n);
      const std::size_t side = static_cast<std::size_t>(n) + 1;
      for (std::size_t i = 0; i < side; ++i)
        EXPECT_TRUE(SameBits(a[(side - 1) * side + i], b[(side - 1 - i) * side])) << seed << " " << n << " " << i;
    }
  }
}

TEST(Patch, GridsThatCannotBeDrawnAreRefusedWithTheReason) {
  struct TCase {
    std::int32_t Width, Height, Vertices;
    std::optional<std::string> Problem;
  };
  const TCase cases[] = {
      {3, 3, 9, std::nullopt},
      {33, 33, 1089, std::nullopt},
      {3, 13, 39, std::nullopt},
      {4, 3, 12, "grid 4 x 3: its sides must be odd and at least 3"},
      {3, 1, 3, "grid 3 x 1: its sides must be odd and at least 3"},
      {0, 0, 0, "grid 0 x 0: its sides must be odd and at least 3"},
      {-3, -3, 9, "grid -3 x -3: its sides must be odd and at least 3"},
      {35, 3, 105, "grid 35 x 3: larger than 33 x 33"},
      {3, 3, 8, "grid 3 x 3: 9 control points, but the face has 8 vertices"},
      {33, 31, 0, "grid 33 x 31: 1023 control points, but the face has 0 vertices"},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(PatchGridProblem(PatchFace(c.Width, c.Height, c.Vertices)), c.Problem)
        << c.Width << " x " << c.Height;
}

// The level's triangle budget: faces are taken in order until the next would pass it.
TEST(Patch, PlanDrawsWhatFitsAndNamesWhatDoesNot) {
  std::vector<TBSPFace> faces(9, PatchFace(33, 33, 1089));  // 2,097,152 triangles each at 64
  faces.push_back(PatchFace(3, 3, 9));  // the budget is already full
  TBSPFace mesh{}, fewMesh{}, billboard{}, polygon{};
  mesh.FaceType = kMeshFace;
  mesh.NumMeshVertices = 6;
  fewMesh.FaceType = kMeshFace;
  fewMesh.NumMeshVertices = 2;
  billboard.FaceType = kBillboardFace;
  polygon.FaceType = kPolygonFace;
  faces.insert(faces.end(), {mesh, fewMesh, billboard, polygon, PatchFace(2, 3, 6)});
  const TSurfacePlan plan = PlanSurfaces(faces, 64);
  EXPECT_EQ(plan.Drawn, (std::vector<std::uint8_t>{1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 1, 0, 0, 1, 0}));
  EXPECT_EQ(plan.PatchTriangles, kMostPatchTriangles);
  EXPECT_EQ(plan.Tessellated, 8);
  EXPECT_EQ(plan.NotDrawn, 3);
  ASSERT_EQ(plan.Warnings.size(), 3u);
  EXPECT_EQ(plan.Warnings[0], "Face 8: curved surface not drawn: 2097152 triangles would take the "
                              "level past 16777216");
  EXPECT_EQ(plan.Warnings[1], "Face 9: curved surface not drawn: 8192 triangles would take the "
                              "level past 16777216");
  EXPECT_EQ(plan.Warnings[2], "Face 14: curved surface not drawn: grid 2 x 3: its sides must be odd "
                              "and at least 3");
  EXPECT_EQ(PlanSurfaces(faces, 8).NotDrawn, 1);
}

// NaN, infinite and huge control points are evaluated like any others: no trap, no endless loop,
// the same triangles, the corners kept.
TEST(Patch, HostileControlPointsStillGiveTheTriangles) {
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  std::vector<TBSPVertex> grid = RandomGrid(9, 6);
  grid[0] = Point(nan, inf, -inf);
  grid[4] = Point(3e38f, -3e38f, 1e-45f);
  const TPatchMesh mesh = TessellatePatch(grid, 3, 3, 64);
  EXPECT_EQ(static_cast<std::int64_t>(mesh.Indices.size()), 3 * PatchTriangleCount(3, 3, 64));
  EXPECT_TRUE(SameBits(mesh.Vertices.front(), grid[0]));
  EXPECT_TRUE(SameBits(mesh.Vertices.back(), grid[8]));
}

// Every level of OpenArena's map package and of its two patch packages: every curved surface is
// drawn at the default count, and its tessellation keeps the corners and stays in its arrays.
TEST(Patch, EveryOpenArenaLevelTessellatesEveryCurvedSurface) {
  std::size_t levels = 0, patches = 0;
  for (const std::string pk3 : {"pak1-maps.pk3", "pak6-patch085.pk3", "pak6-patch088.pk3"}) {
    const std::string root = testsupport::ExtractOpenArena(pk3, {"maps/*.bsp"});
    for (const std::string& map : testsupport::ListOpenArena(pk3, ".bsp")) {
      SCOPED_TRACE(pk3 + " " + map);
      const TBSPFile file = ParseBSP(testsupport::ReadFile(root + "/" + map));
      const TSurfacePlan plan = PlanSurfaces(file.Faces, kDefaultTessellation);
      EXPECT_EQ(plan.NotDrawn, 0);
      ++levels;
      for (std::size_t f = 0; f < file.Faces.size(); ++f) {
        const TBSPFace& face = file.Faces[f];
        if (face.FaceType != kPatchFace) continue;
        ++patches;
        const std::span<const TBSPVertex> grid(file.Vertices.data() + face.FirstVertex,
                                               static_cast<std::size_t>(face.NumVertices));
        const TPatchMesh mesh = TessellatePatch(grid, face.PatchSize[0], face.PatchSize[1], kDefaultTessellation);
        ASSERT_TRUE(SameBits(mesh.Vertices.front(), grid.front()) && SameBits(mesh.Vertices.back(), grid.back()));
        ASSERT_EQ(static_cast<std::int64_t>(mesh.Indices.size()),
                  3 * PatchTriangleCount(face.PatchSize[0], face.PatchSize[1], kDefaultTessellation));
        ASSERT_LT(*std::max_element(mesh.Indices.begin(), mesh.Indices.end()), mesh.Vertices.size());
      }
    }
  }
  EXPECT_GE(levels, 95u);
  EXPECT_GE(patches, 8000u);
}
