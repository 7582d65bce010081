// What a level's texture becomes once the shader table is known: which image fills its slot and how
// its faces are drawn. Decided once per texture at load; the renderer only looks the result up.
#include <algorithm>
#include <array>

#include "shaders/Shaders.h"

namespace shaders {
namespace {

bool IsWhite(const std::string& map) { return map == "$whiteimage" || map == "*white"; }
bool IsImage(const std::string& map) { return !map.empty() && map != "$lightmap" && !IsWhite(map); }

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

}  // namespace

const char* OriginName(TImageOrigin origin) {
  switch (origin) {
    case TImageOrigin::File: return "file";
    case TImageOrigin::Shader: return "shader";
    case TImageOrigin::EditorImage: return "editorimage";
    case TImageOrigin::None: break;
  }
  return "none";
}

std::optional<std::string> FindImage(const std::string& name,
                                     const std::function<bool(const std::string&)>& imageExists) {
  const std::string lower = Lower(name);
  const bool jpg = lower.ends_with(".jpg"), tga = lower.ends_with(".tga");
  std::array<std::string, 2> candidates;
  if (jpg || tga) {
    const std::string stem = name.substr(0, name.size() - 4);
    candidates = {name, stem + (jpg ? ".tga" : ".jpg")};
  } else {
    candidates = {name + ".jpg", name + ".tga"};
  }
  for (const std::string& candidate : candidates)
    if (imageExists(candidate)) return candidate;
  return std::nullopt;
}

std::optional<std::vector<std::string>> FindSkyBox(
    const TShader& shader, const std::function<bool(const std::string&)>& imageExists) {
  if (shader.SkyFarBox.empty()) return std::nullopt;
  std::vector<std::string> images;
  for (const char* side : {"_rt", "_bk", "_lf", "_ft", "_up", "_dn"}) {
    std::optional<std::string> image = FindImage(shader.SkyFarBox + side, imageExists);
    if (!image) return std::nullopt;
    images.push_back(std::move(*image));
  }
  return images;
}

TDrawState DrawStateOf(const TShader* shader) {
  TDrawState state;
  if (!shader) return state;
  if (shader->Sky || shader->NoDraw || shader->Stages.empty()) {
    // The sky box stands in for sky faces; nodraw and stage-less shaders (fog volumes, clip and
    // hint brushes) put nothing on the screen.
    state.Drawn = false;
    state.Sky = shader->Sky;
    state.Lightmap = false;
    return state;
  }
  state.TwoSided = shader->Cull == TCull::None;
  state.Lightmap = !shader->NoLightmap &&
                   std::any_of(shader->Stages.begin(), shader->Stages.end(),
                               [](const TStage& s) { return s.Map == "$lightmap"; });
  // The first stage is what the surface lays over what lies behind it. When that stage is the
  // lightmap, the image stage blends onto it (the usual pair) and the surface is opaque; its alpha
  // test is the image stage's, as the lightmap has no alpha of its own.
  const TStage& first = shader->Stages.front();
  const auto image = std::find_if(shader->Stages.begin(), shader->Stages.end(),
                                  [](const TStage& s) { return IsImage(s.Map); });
  const bool lightmapFirst = first.Map == "$lightmap";
  state.VertexColours = first.VertexColours;
  state.AlphaTest = lightmapFirst && image != shader->Stages.end() ? image->AlphaTest : first.AlphaTest;
  const bool replaces = first.BlendSource == TBlendFactor::One && first.BlendDestination == TBlendFactor::Zero;
  if (first.HasBlend && !lightmapFirst && !replaces) {
    state.Blended = true;
    state.BlendSource = first.BlendSource;
    state.BlendDestination = first.BlendDestination;
    // Drawn without depth writes, a blended surface leaves no depth for the lightmap pass's equal
    // test to meet; its lightmap stage, if any, is left out.
    state.Lightmap = false;
  }
  return state;
}

std::string FlagsText(const TDrawState& state) {
  std::vector<std::string> words;
  if (state.Sky) words.push_back("sky");
  else if (!state.Drawn) words.push_back("nodraw");
  if (state.TwoSided) words.push_back("twosided");
  static const char* const alphaNames[] = {"", "alpha-gt0", "alpha-lt128", "alpha-ge128"};
  if (state.AlphaTest != TAlphaTest::None) words.push_back(alphaNames[static_cast<int>(state.AlphaTest)]);
  if (state.Blended) {
    const auto is = [&](TBlendFactor s, TBlendFactor d) {
      return state.BlendSource == s && state.BlendDestination == d;
    };
    if (is(TBlendFactor::One, TBlendFactor::One)) words.push_back("blend-add");
    else if (is(TBlendFactor::DstColor, TBlendFactor::Zero)) words.push_back("blend-filter");
    else if (is(TBlendFactor::SrcAlpha, TBlendFactor::OneMinusSrcAlpha)) words.push_back("blend-alpha");
    else words.push_back("blend-other");
  }
  if (state.Drawn && !state.Lightmap) words.push_back("nolightmap");
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
  return text;
}

TTextureSurface DescribeTexture(const std::string& textureName, const TShaderTable& table,
                                const std::function<bool(const std::string&)>& imageExists) {
  TTextureSurface surface;
  surface.Shader = table.Find(textureName);
  surface.State = DrawStateOf(surface.Shader);
  if (!surface.Shader) {
    // The plain load's own rule: both files when both exist, the .tga one last.
    for (const char* extension : {".jpg", ".tga"})
      if (imageExists(textureName + extension)) surface.Images.push_back(textureName + extension);
    if (!surface.Images.empty()) surface.Origin = TImageOrigin::File;
    return surface;
  }
  for (const TStage& stage : surface.Shader->Stages) {
    std::vector<std::string>& found = surface.StageImages.emplace_back();
    if (!IsImage(stage.Map)) continue;
    for (const std::string& frame : stage.Frames.empty() ? std::vector<std::string>{stage.Map} : stage.Frames)
      found.push_back(IsImage(frame) ? FindImage(frame, imageExists).value_or("") : "");
    if (surface.Origin == TImageOrigin::None && !found.front().empty()) {
      surface.Images.push_back(found.front());
      surface.Origin = TImageOrigin::Shader;
    }
  }
  if (surface.Origin == TImageOrigin::None && !surface.Shader->EditorImage.empty()) {
    if (std::optional<std::string> image = FindImage(surface.Shader->EditorImage, imageExists)) {
      surface.Images.push_back(std::move(*image));
      surface.Origin = TImageOrigin::EditorImage;
    }
  }
  return surface;
}

}  // namespace shaders
