#include "level/ExportGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace {

constexpr std::array<std::uint8_t, 4> kWhite = {255, 255, 255, 255};

float Finite(float value) { return std::isfinite(value) ? value : 0.0f; }

// The vertex normal as a unit vector in glTF's frame; the face's own normal where the vertex's is
// not usable (zero, not finite), and straight up where neither is.
std::array<float, 3> GltfNormal(const TVector& normal, const TVector& faceNormal) {
  for (const TVector& n : {normal, faceNormal}) {
    const std::array<float, 3> v = GltfPoint(n, 1.0f);
    const double length = std::sqrt(double{v[0]} * v[0] + double{v[1]} * v[1] + double{v[2]} * v[2]);
    if (length > 1e-6 && std::isfinite(length))
      return {static_cast<float>(v[0] / length), static_cast<float>(v[1] / length),
              static_cast<float>(v[2] / length)};
  }
  return {0.0f, 1.0f, 0.0f};
}

// Appends one face's vertices and triangles to its primitive.
void AppendFace(const TQuake3BSP& level, std::size_t f, const std::array<float, 3>& origin,
                float scale, TExportPrimitive& primitive) {
  const TBSPFace& face = level.Faces[f];
  const std::uint32_t base = static_cast<std::uint32_t>(primitive.Positions.size() / 3);
  const AGLNrf3& positions = level.FaceVertices[f];
  for (std::size_t j = 0; j < positions.size(); ++j) {
    const std::array<float, 3> p = GltfPoint(positions[j], scale);
    for (int k = 0; k < 3; ++k) primitive.Positions.push_back(Finite(p[k] - origin[k]));
    const std::array<float, 3> n = GltfNormal(level.FaceNormals[f][j], face.Normal);
    primitive.Normals.insert(primitive.Normals.end(), n.begin(), n.end());
    // The model holds t negated for the viewer's textures; glTF's images are top row first, as
    // the level's coordinates count them.
    const TTexCoord st = level.FaceTexCoords[f][j];
    primitive.TexCoords.insert(primitive.TexCoords.end(), {Finite(st.S), Finite(-st.T)});
  }
  const std::vector<std::uint32_t>& indices = level.FaceIndices[f];
  const auto triangle = [&](std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    // The viewer culls the faces wound counter-clockwise on screen; glTF culls the clockwise ones.
    primitive.Indices.insert(primitive.Indices.end(), {base + a, base + c, base + b});
  };
  if (!indices.empty()) {
    for (std::size_t i = 0; i + 2 < indices.size(); i += 3) triangle(indices[i], indices[i + 1], indices[i + 2]);
  } else {
    for (std::uint32_t i = 1; i + 1 < positions.size(); ++i) triangle(0, i, i + 1);
  }
}

void AppendLightmapCoords(const TQuake3BSP& level, std::size_t f, const TAtlasLayout& atlases,
                          TExportPrimitive& primitive) {
  const std::int32_t page = atlases.PageOf(level.Faces[f].LightmapIndex);
  for (const TTexCoord& coord : level.FaceLightmapCoords[f]) {
    const TTexCoord mapped = atlases.Map(page, coord);
    primitive.LightmapCoords.insert(primitive.LightmapCoords.end(), {mapped.S, mapped.T});
  }
}

// The face's colours of the vertex pass; white where the load made none for it.
void AppendVertexColours(const TQuake3BSP& level, std::size_t f, TExportPrimitive& primitive) {
  const std::size_t count = level.FaceVertices[f].size();
  const AGLbyt4* colours = f < level.Lighting.FaceColours.size() ? &level.Lighting.FaceColours[f] : nullptr;
  for (std::size_t j = 0; j < count; ++j) {
    const bool known = colours && colours->size() == count;
    primitive.Colours.insert(primitive.Colours.end(), known ? (*colours)[j].begin() : kWhite.begin(),
                             known ? (*colours)[j].end() : kWhite.end());
  }
}

void Bound(TExportPrimitive& primitive) {
  constexpr float kHuge = std::numeric_limits<float>::max();
  primitive.Min = {kHuge, kHuge, kHuge};
  primitive.Max = {-kHuge, -kHuge, -kHuge};
  for (std::size_t i = 0; i < primitive.Positions.size(); ++i) {
    primitive.Min[i % 3] = std::min(primitive.Min[i % 3], primitive.Positions[i]);
    primitive.Max[i % 3] = std::max(primitive.Max[i % 3], primitive.Positions[i]);
  }
}

std::array<float, 3> CentreOf(const TBSPModel& model, float scale) {
  const TVector centre{(model.Mins.X + model.Maxs.X) / 2, (model.Mins.Y + model.Maxs.Y) / 2,
                       (model.Mins.Z + model.Maxs.Z) / 2};
  return GltfPoint(centre, scale);
}

}  // namespace

std::array<float, 3> GltfPoint(const TVector& point, float scale) {
  return {Finite(Finite(point.X) * scale), Finite(Finite(point.Z) * scale), Finite(-Finite(point.Y) * scale)};
}

std::vector<TExportMesh> BuildExportMeshes(const TQuake3BSP& level, const TExportPlan& plan,
                                           const TAtlasLayout& atlases,
                                           std::span<const std::int32_t> faceModels,
                                           std::span<const TBSPModel> models, float scale) {
  // Meshes by model number, primitives by material, both in ascending order; each primitive's
  // arrays sized first, so that they never hold room twice over while they grow.
  std::map<std::int32_t, std::map<std::int32_t, TExportPrimitive>> byModel;
  byModel[0];
  std::map<std::pair<std::int32_t, std::int32_t>, std::pair<std::size_t, std::size_t>> sizes;
  for (std::size_t f = 0; f < plan.FaceMaterial.size(); ++f) {
    if (plan.FaceMaterial[f] < 0) continue;
    const std::size_t vertices = level.FaceVertices[f].size(), indices = level.FaceIndices[f].size();
    auto& [v, i] = sizes[{faceModels.empty() ? 0 : faceModels[f], plan.FaceMaterial[f]}];
    v += vertices;
    i += indices > 0 ? indices / 3 * 3 : 3 * (vertices > 2 ? vertices - 2 : 0);
  }
  for (const auto& [key, size] : sizes) {
    TExportPrimitive& primitive = byModel[key.first][key.second];
    primitive.Positions.reserve(3 * size.first);
    primitive.Normals.reserve(3 * size.first);
    primitive.TexCoords.reserve(2 * size.first);
    const std::int32_t atlas = plan.Materials[static_cast<std::size_t>(key.second)].Atlas;
    if (atlas >= 0) primitive.LightmapCoords.reserve(2 * size.first);
    if (atlas == kVertexLitAtlas) primitive.Colours.reserve(4 * size.first);
    primitive.Indices.reserve(size.second);
  }
  for (std::size_t f = 0; f < plan.FaceMaterial.size(); ++f) {
    const std::int32_t material = plan.FaceMaterial[f];
    if (material < 0) continue;
    const std::int32_t model = faceModels.empty() ? 0 : faceModels[f];
    const std::array<float, 3> origin =
        model > 0 && static_cast<std::size_t>(model) < models.size()
            ? CentreOf(models[static_cast<std::size_t>(model)], scale) : std::array<float, 3>{};
    TExportPrimitive& primitive = byModel[model][material];
    primitive.Material = material;
    AppendFace(level, f, origin, scale, primitive);
    const std::int32_t atlas = plan.Materials[static_cast<std::size_t>(material)].Atlas;
    if (atlas >= 0) AppendLightmapCoords(level, f, atlases, primitive);
    if (atlas == kVertexLitAtlas) AppendVertexColours(level, f, primitive);
  }
  std::vector<TExportMesh> meshes;
  for (auto& [model, primitives] : byModel) {
    TExportMesh& mesh = meshes.emplace_back();
    mesh.Name = model == 0 ? "world" : "*" + std::to_string(model);
    if (model > 0) mesh.Translation = CentreOf(models[static_cast<std::size_t>(model)], scale);
    for (auto& [material, primitive] : primitives) {
      Bound(primitive);
      mesh.Primitives.push_back(std::move(primitive));
    }
  }
  return meshes;
}
