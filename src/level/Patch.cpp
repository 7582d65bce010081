#include "level/Patch.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// Every field of a vertex as floats, in one array, so that one loop evaluates them all alike.
constexpr std::size_t kFields = 14;
using TPoint = std::array<float, kFields>;

TPoint ToPoint(const TBSPVertex& v) {
  return {v.Position.X, v.Position.Y, v.Position.Z, v.TexCoord.S, v.TexCoord.T,
          v.LightmapCoord.S, v.LightmapCoord.T, v.Normal.X, v.Normal.Y, v.Normal.Z,
          static_cast<float>(v.Color[0]), static_cast<float>(v.Color[1]),
          static_cast<float>(v.Color[2]), static_cast<float>(v.Color[3])};
}

// Nearest byte, halves up (the value is never negative after the clamp).
std::uint8_t ColourByte(float value) {
  return static_cast<std::uint8_t>(std::clamp(value, 0.0f, 255.0f) + 0.5f);
}

TBSPVertex ToVertex(const TPoint& p) {
  TBSPVertex v{};
  v.Position = {p[0], p[1], p[2]};
  v.TexCoord = {p[3], p[4]};
  v.LightmapCoord = {p[5], p[6]};
  v.Normal = {p[7], p[8], p[9]};
  for (std::size_t c = 0; c < 4; ++c) v.Color[c] = ColourByte(p[10 + c]);
  return v;
}

// The quadratic Bezier curve over a, b, c at t = j / n. The weights (n - j)^2, 2 j (n - j) and
// j^2 are exact integers, the end points' products are summed first (a commutative step) and the
// middle one added after, so Quadratic(c, b, a, n - j) has the same bits as Quadratic(a, b, c, j):
// a border evaluated from either end agrees. The ends return their control points unchanged
// (NaN and infinite points stay where they are instead of spreading through 0 x inf).
TPoint Quadratic(const TPoint& a, const TPoint& b, const TPoint& c, std::int32_t j, std::int32_t n) {
  if (j == 0) return a;
  if (j == n) return c;
  const float w0 = static_cast<float>((n - j) * (n - j)), w1 = static_cast<float>(2 * j * (n - j));
  const float w2 = static_cast<float>(j * j), whole = static_cast<float>(n * n);
  TPoint out;
  for (std::size_t k = 0; k < kFields; ++k) out[k] = ((w0 * a[k] + w2 * c[k]) + w1 * b[k]) / whole;
  return out;
}

// The piece whose top-left control point is grid[first], with rows `stride` points apart,
// written into the (columns x ...) vertex grid at (row0, column0).
void EvaluateInto(std::span<const TBSPVertex> grid, std::size_t first, std::size_t stride,
                  std::int32_t n, std::vector<TBSPVertex>& out, std::size_t outStride,
                  std::size_t row0, std::size_t column0) {
  std::array<TPoint, 9> p;
  for (std::size_t r = 0; r < 3; ++r)
    for (std::size_t c = 0; c < 3; ++c) p[r * 3 + c] = ToPoint(grid[first + r * stride + c]);
  for (std::int32_t j = 0; j <= n; ++j) {
    // Down each control column first, then across: a border column depends on its own three
    // points only (i = 0 or n picks one of these), a border row on its row's (j = 0 or n picks
    // the control points themselves).
    const TPoint c0 = Quadratic(p[0], p[3], p[6], j, n);
    const TPoint c1 = Quadratic(p[1], p[4], p[7], j, n);
    const TPoint c2 = Quadratic(p[2], p[5], p[8], j, n);
    for (std::int32_t i = 0; i <= n; ++i)
      out[(row0 + static_cast<std::size_t>(j)) * outStride + column0 + static_cast<std::size_t>(i)] =
          ToVertex(Quadratic(c0, c1, c2, i, n));
  }
}

}  // namespace

std::optional<std::string> PatchGridProblem(const TBSPFace& face) {
  const std::int32_t w = face.PatchSize[0], h = face.PatchSize[1];
  const std::string size = std::to_string(w) + " x " + std::to_string(h);
  if (w < 3 || h < 3 || w % 2 == 0 || h % 2 == 0)
    return "grid " + size + ": its sides must be odd and at least 3";
  if (w > kLargestPatchSide || h > kLargestPatchSide)
    return "grid " + size + ": larger than " + std::to_string(kLargestPatchSide) + " x " +
           std::to_string(kLargestPatchSide);
  if (std::int64_t{w} * h != face.NumVertices)
    return "grid " + size + ": " + std::to_string(std::int64_t{w} * h) +
           " control points, but the face has " + std::to_string(face.NumVertices) + " vertices";
  return std::nullopt;
}

std::int64_t PatchTriangleCount(std::int32_t width, std::int32_t height, std::int32_t n) {
  return 2 * (std::int64_t{(width - 1) / 2} * n) * (std::int64_t{(height - 1) / 2} * n);
}

std::vector<TBSPVertex> EvaluatePiece(std::span<const TBSPVertex, 9> control, std::int32_t n) {
  const std::size_t side = static_cast<std::size_t>(n) + 1;
  std::vector<TBSPVertex> out(side * side);
  EvaluateInto(control, 0, 3, n, out, side, 0, 0);
  return out;
}

TPatchMesh TessellatePatch(std::span<const TBSPVertex> grid, std::int32_t width,
                           std::int32_t height, std::int32_t n) {
  const std::size_t piecesAcross = static_cast<std::size_t>((width - 1) / 2);
  const std::size_t piecesDown = static_cast<std::size_t>((height - 1) / 2);
  const std::size_t segments = static_cast<std::size_t>(n);
  const std::size_t columns = piecesAcross * segments + 1, rows = piecesDown * segments + 1;
  TPatchMesh mesh;
  mesh.Vertices.resize(columns * rows);
  // A shared border is written by both of its pieces, with the same bits (see Quadratic).
  for (std::size_t py = 0; py < piecesDown; ++py)
    for (std::size_t px = 0; px < piecesAcross; ++px)
      EvaluateInto(grid, 2 * py * static_cast<std::size_t>(width) + 2 * px,
                   static_cast<std::size_t>(width), n, mesh.Vertices, columns, py * segments,
                   px * segments);

  // The grid's rows run along the second control direction; (row, column), (row + 1, column),
  // (row, column + 1) turns the same way about the stored normals as the polygons' triangles.
  mesh.Indices.reserve((columns - 1) * (rows - 1) * 6);
  for (std::size_t r = 0; r + 1 < rows; ++r) {
    for (std::size_t c = 0; c + 1 < columns; ++c) {
      const auto at = [columns](std::size_t row, std::size_t column) {
        return static_cast<std::uint32_t>(row * columns + column);
      };
      mesh.Indices.insert(mesh.Indices.end(), {at(r, c), at(r + 1, c), at(r, c + 1),
                                               at(r, c + 1), at(r + 1, c), at(r + 1, c + 1)});
    }
  }
  return mesh;
}
