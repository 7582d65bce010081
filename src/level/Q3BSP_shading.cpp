// What the shader scripts decide for a level, per texture and for the sky, before any image is
// read: the renderer then sets state once per texture group and never looks at a face's shader.
#include "level/Q3BSP_shading.h"

#include <algorithm>
#include <numeric>
#include <utility>

#include "level/BSPFile.h"
#include "level/FogVolumes.h"
#include "level/GameLight.h"

namespace {

// A sky texture's far box (six images) and its stages' images for the cloud layers; false when it
// has neither.
bool DescribeOneSky(const shaders::TShader& shader, TShadedSurface& sky, std::vector<std::string>& boxImages,
                    std::vector<std::vector<std::string>>& stageImages, const shaders::TShaderTable& table,
                    const shaders::TShaderSource& source) {
  const auto box = shaders::FindSkyBox(shader, source.ImageExists);
  if (box) boxImages.assign(box->begin(), box->end());
  shaders::TShader clouds = shader;
  const shaders::TTextureSurface described = shaders::DescribeTexture(shader.Name, table, source.ImageExists);
  shaders::TDrawState state;  // the layers are drawn as their stages say
  state.Blended = !clouds.Stages.empty() && clouds.Stages.front().HasBlend;
  sky.Plan = shaders::PlanStages(clouds, state);
  sky.Shader = std::move(clouds);
  stageImages = described.StageImages;
  const bool anyCloud = std::any_of(stageImages.begin(), stageImages.end(), [](const auto& frames) {
    return std::any_of(frames.begin(), frames.end(), [](const std::string& f) { return !f.empty(); });
  });
  if (box || anyCloud) return true;
  sky = {};
  stageImages.clear();
  return false;
}

// The sky of the first sky texture that has images; with SkyInView every such texture's too (the
// first one's entry is the one shown, left empty).
void DescribeSky(TLevelShading& shading, TShadedImages& images, const std::vector<TBSPTexture>& textures,
                 const shaders::TShaderTable& table, const shaders::TShaderSource& source) {
  bool found = false;
  for (std::size_t t = 0; t < textures.size(); ++t) {
    if (!shading.States[t].Sky) continue;
    const shaders::TShader* shader = table.Find(TextureBaseName(textures[t]));
    if (!found) {
      found = DescribeOneSky(*shader, shading.Sky, images.Sky, images.SkyStages, table, source);
      if (found && shading.SkyInView) {
        shading.SkyShown = shading.Skies.size();
        shading.Skies.emplace_back().Texture = static_cast<std::int32_t>(t);
        images.Skies.emplace_back();
      }
      if (!shading.SkyInView && found) return;
      continue;
    }
    TLevelShading::TLevelSky other;
    other.Texture = static_cast<std::int32_t>(t);
    auto& otherImages = images.Skies.emplace_back();
    if (DescribeOneSky(*shader, other.Sky, otherImages.first, otherImages.second, table, source))
      shading.Skies.push_back(std::move(other));
    else
      images.Skies.pop_back();
  }
}

void KeepFogParms(TLevelShading& shading, const shaders::TShaderTable& table) {
  for (const auto& [name, shader] : table.Shaders)
    if (shader.HasFogParms)
      shading.FogParms[name] = {shader.FogColour[0], shader.FogColour[1], shader.FogColour[2],
                                shader.FogOpaqueDistance};
}

// What a name no script defines is drawn with: its image, then its lightmap at twice the product,
// as the plain frame draws it. No file name marks it as nobody's script.
shaders::TShader DefaultShader(const std::string& name) {
  shaders::TShader shader;
  shader.Name = name;
  shaders::TStage image, lightmap;
  image.Map = name;
  lightmap.Map = "$lightmap";
  lightmap.HasBlend = true;
  lightmap.BlendSource = shaders::TBlendFactor::DstColor;
  lightmap.BlendDestination = shaders::TBlendFactor::Zero;
  shader.Stages = {image, lightmap};
  return shader;
}

// --glow-images: the image NAME_glow beside a surface's image NAME that no script describes,
// added over the lit image at full strength (it glows: no light darkens it). Empty when none.
std::string GlowImage(const std::string& name, const shaders::TShaderSource& source) {
  for (const char* extension : {".jpg", ".tga"})
    if (source.ImageExists(name + "_glow" + extension)) return name + "_glow" + extension;
  return {};
}

void AddGlowStage(shaders::TShader& shader, const std::string& image) {
  shaders::TStage glow;
  glow.Map = image;
  glow.HasBlend = true;
  glow.BlendSource = shaders::TBlendFactor::One;
  glow.BlendDestination = shaders::TBlendFactor::One;
  shader.Stages.push_back(glow);
}

bool AnyStage(const TLevelShading& shading, shaders::TVertexColours colours) {
  return std::any_of(shading.Surfaces.begin(), shading.Surfaces.end(), [&](const TShadedSurface& s) {
    return std::any_of(s.Plan.Stages.begin(), s.Plan.Stages.end(),
                       [&](const shaders::TPlannedStage& p) { return p.Colours == colours; });
  });
}

// Every face's arrays one after the other, with the colour arrays derived from the stored ones
// only when some stage reads them.
void JoinArrays(TQuake3BSP& level) {
  TShadedArrays& arrays = level.Shading.Arrays;
  arrays = {};
  std::size_t total = 0;
  for (const AGLNrf3& vertices : level.FaceVertices)
    if (vertices.size() <= TShadedArrays::kMostJoinedVertices) total += vertices.size();
  arrays.Positions.reserve(total);
  arrays.Normals.reserve(total);
  arrays.TexCoords.reserve(total);
  arrays.LightmapCoords.reserve(total);
  arrays.Colours.reserve(total);
  for (std::size_t f = 0; f < level.FaceVertices.size(); ++f) {
    const std::size_t n = level.FaceVertices[f].size();
    if (n > TShadedArrays::kMostJoinedVertices) {
      arrays.First.push_back(TShadedArrays::kNotJoined);
      continue;
    }
    arrays.First.push_back(static_cast<std::uint32_t>(arrays.Positions.size()));
    arrays.Positions.insert(arrays.Positions.end(), level.FaceVertices[f].begin(), level.FaceVertices[f].end());
    // Every per-face array has the face's vertex count (the load's invariant); should one not,
    // the joined arrays stay in step all the same.
    const auto append = [n](auto& to, const auto& from) {
      const std::size_t take = std::min(n, from.size());
      to.insert(to.end(), from.begin(), from.begin() + static_cast<std::ptrdiff_t>(take));
      to.resize(to.size() + (n - take));
    };
    append(arrays.Normals, level.FaceNormals[f]);
    append(arrays.TexCoords, level.FaceTexCoords[f]);
    append(arrays.LightmapCoords, level.FaceLightmapCoords[f]);
    append(arrays.Colours, level.FaceColors[f]);
  }
  // rgbGen vertex reads the vertex colours as light: the game's rule makes them four times as bright.
  if (level.Lighting.GameLight)
    for (auto& c : arrays.Colours) std::copy_n(GameLightColour(c[0], c[1], c[2]).begin(), 3, c.begin());
  if (AnyStage(level.Shading, shaders::TVertexColours::OneMinus))
    for (const auto& c : arrays.Colours)
      arrays.OneMinusColours.push_back({static_cast<std::uint8_t>(255 - c[0]), static_cast<std::uint8_t>(255 - c[1]),
                                        static_cast<std::uint8_t>(255 - c[2]), c[3]});
  if (AnyStage(level.Shading, shaders::TVertexColours::AlphaOnly))
    for (const auto& c : arrays.Colours) arrays.AlphaColours.push_back({255, 255, 255, c[3]});
}

void ReadFogs(TLevelShading& shading, std::span<const std::uint8_t> bytes,
              const std::array<TBSPLump, kLumpCount>& lumps, std::span<const TBSPPlane> planes) {
  std::vector<std::string> problems;
  shading.Fogs = ReadFogVolumes(bytes, lumps, planes, problems);
  for (std::string& problem : problems) shading.Problems.push_back({"fogs", 0, std::move(problem)});
  for (TFogVolume& fog : shading.Fogs) {
    std::string name = fog.Shader;
    for (char& c : name)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    const auto parms = shading.FogParms.find(name);
    if (parms == shading.FogParms.end() || !(parms->second[3] > 0)) {
      fog.Planes.clear();  // no fogparms with a distance: nothing to draw
      continue;
    }
    std::copy(parms->second.begin(), parms->second.begin() + 3, fog.Colour);
    fog.OpaqueDistance = parms->second[3];
  }
}

}  // namespace

TShadedImages DescribeShadedSurfaces(TQuake3BSP& level, const std::vector<TBSPTexture>& textures,
                                     const shaders::TShaderSource& given, platform::TBudget* budget,
                                     shaders::TShaderTable* keep) {
  const shaders::TShaderSource source = given.ScriptNames ? given : shaders::BaseFolderSource();
  shaders::TShaderTable table = shaders::LoadShaderTable(source, budget);
  TLevelShading& shading = level.Shading;
  shading.Problems = table.Problems;
  shading.ShaderCount = table.Shaders.size();
  shading.ScriptCount = table.ScriptCount;
  // Every texture described first, so that the images to load are known, in the order they load,
  // before the first one is read.
  TShadedImages images;
  images.Surfaces.resize(textures.size());
  images.Stages.resize(textures.size());
  shading.Surfaces.resize(textures.size());
  std::vector<std::string> toRead;
  for (std::size_t t = 0; t < textures.size(); ++t) {
    shaders::TTextureSurface surface =
        shaders::DescribeTexture(TextureBaseName(textures[t]), table, source.ImageExists);
    shading.States.push_back(surface.State);
    shading.Origins.push_back(surface.Origin);
    TShadedSurface& shaded = shading.Surfaces[t];
    shaded.Shader = surface.Shader ? *surface.Shader : DefaultShader(TextureBaseName(textures[t]));
    if (!surface.Shader && shading.GlowImages && surface.State.Drawn) {
      const std::string glow = GlowImage(TextureBaseName(textures[t]), source);
      if (!glow.empty()) {
        AddGlowStage(*shaded.Shader, glow);
        toRead.push_back(glow);
      }
    }
    shaded.Plan = shaders::PlanStages(*shaded.Shader, surface.State, {!level.Lighting.GameLight, shading.GameStages, shading.ClampCoords});
    // Only the images of surfaces that are drawn are loaded.
    if (!surface.State.Drawn) continue;
    images.Surfaces[t] = std::move(surface.Images);
    images.Stages[t] = std::move(surface.StageImages);
    toRead.insert(toRead.end(), images.Surfaces[t].begin(), images.Surfaces[t].end());
    for (const auto& frames : images.Stages[t])
      for (const std::string& frame : frames)
        if (!frame.empty() && std::find(toRead.begin(), toRead.end(), frame) == toRead.end()) toRead.push_back(frame);
  }
  DescribeSky(shading, images, textures, table, source);
  KeepFogParms(shading, table);
  toRead.insert(toRead.end(), images.Sky.begin(), images.Sky.end());
  for (const auto& frames : images.SkyStages)
    for (const std::string& frame : frames)
      if (!frame.empty()) toRead.push_back(frame);
  for (const auto& [box, stages] : images.Skies) {
    toRead.insert(toRead.end(), box.begin(), box.end());
    for (const auto& frames : stages)
      for (const std::string& frame : frames)
        if (!frame.empty()) toRead.push_back(frame);
  }
  if (source.ReadAhead) source.ReadAhead(toRead);
  if (keep) *keep = std::move(table);
  return images;
}

void GroupShadedFaces(TQuake3BSP& level, std::span<const std::uint8_t> bytes,
                      const std::array<TBSPLump, kLumpCount>& lumps, std::span<const TBSPPlane> planes) {
  TLevelShading& shading = level.Shading;
  shading.OneSidedLightmapFaces.assign(level.LightmapFaces.size(), {});
  shading.TwoSidedLightmapFaces.assign(level.LightmapFaces.size(), {});
  for (std::size_t m = 0; m < level.LightmapFaces.size(); ++m) {
    for (const std::int32_t f : level.LightmapFaces[m]) {
      const std::int32_t t = level.Faces[static_cast<std::size_t>(f)].TextureIndex;
      if (t < 0 || t >= level.TextureCount) continue;
      const shaders::TDrawState& state = shading.States[static_cast<std::size_t>(t)];
      if (!state.Drawn || !state.Lightmap) continue;
      (state.TwoSided ? shading.TwoSidedLightmapFaces : shading.OneSidedLightmapFaces)[m].push_back(f);
    }
  }
  for (std::size_t t = 0; t < shading.Origins.size(); ++t) {
    if (shading.Origins[t] != shaders::TImageOrigin::None || !shaders::NeedsImage(shading.States[t])) continue;
    ++shading.TexturesWithoutImage;
    shading.FacesWithoutImage += level.TextureFaceCounts[t];
  }
  shading.DrawOrder.resize(shading.Surfaces.size());
  std::iota(shading.DrawOrder.begin(), shading.DrawOrder.end(), 0);
  std::stable_sort(shading.DrawOrder.begin(), shading.DrawOrder.end(), [&](std::int32_t a, std::int32_t b) {
    return shading.Surfaces[static_cast<std::size_t>(a)].Plan.Sort < shading.Surfaces[static_cast<std::size_t>(b)].Plan.Sort;
  });
  JoinArrays(level);
  ReadFogs(shading, bytes, lumps, planes);
}
