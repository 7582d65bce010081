// Stage directives and the shader directives that animate or shape a surface, as the shader
// manual of the format describes them. Every number is taken as written ("nan" and "1e30"
// included): evaluation (Waves.h, TexMods.h, Deforms.h) is bounded for any value.
#include "shaders/Directives.h"

#include <algorithm>
#include <charconv>
#include <vector>

namespace shaders::detail {
namespace {

using TArgs = std::span<const std::string>;

// The words with the parentheses some directives wrap their numbers in taken off:
// "( 0.5 0.5 0.5 )", "(0.5 0.5 0.5)".
std::vector<std::string> Unwrapped(TArgs args) {
  std::vector<std::string> words;
  for (std::string word : args) {
    while (!word.empty() && word.front() == '(') word.erase(word.begin());
    while (!word.empty() && word.back() == ')') word.pop_back();
    if (!word.empty()) words.push_back(std::move(word));
  }
  return words;
}

std::optional<float> Number(const std::string& word) {
  float value = 0;
  const char* first = word.data();
  const char* last = first + word.size();
  if (first != last && *first == '+') ++first;
  const auto [end, error] = std::from_chars(first, last, value);
  if (end != last || first == last) return std::nullopt;
  if (error == std::errc::result_out_of_range) return value;  // rounds to 0 or is refused below
  if (error != std::errc()) return std::nullopt;
  return value;
}

// `count` numbers from args[at]; nothing when one is missing or not a number.
std::optional<std::vector<float>> Numbers(TArgs args, std::size_t at, std::size_t count) {
  if (args.size() < at + count) return std::nullopt;
  std::vector<float> values;
  for (std::size_t i = at; i < at + count; ++i) {
    const std::optional<float> v = Number(args[i]);
    if (!v) return std::nullopt;
    values.push_back(*v);
  }
  return values;
}

// <func> <base> <amplitude> <phase> <frequency> from args[at].
std::optional<TWave> Wave(TArgs args, std::size_t at) {
  if (args.size() <= at) return std::nullopt;
  const std::optional<TWaveForm> form = WaveFormNamed(args[at]);
  const auto values = Numbers(args, at + 1, 4);
  if (!form || !values) return std::nullopt;
  return TWave{*form, (*values)[0], (*values)[1], (*values)[2], (*values)[3]};
}

std::string Bad(const std::string& what, const std::string& shader) {
  return what + " not understood in shader '" + shader + "'";
}

std::optional<std::string> ColourGen(TStage& stage, const std::string& keyword, TArgs raw,
                                     const std::string& shader) {
  const std::vector<std::string> args = Unwrapped(raw);
  const bool rgb = keyword == "rgbgen";
  TColourGen& gen = rgb ? stage.RgbGen : stage.AlphaGen;
  const std::string kind = args.empty() ? "" : args[0];
  if (rgb) stage.VertexColours = kind == "vertex" || kind == "exactvertex";
  if (rgb) stage.LightingDiffuse = kind == "lightingdiffuse";
  else stage.LightingSpecular = kind == "lightingspecular";
  // Lighting from the game's entities and its light grid is not modelled: such colours are
  // taken as full intensity, like identity.
  static const char* const identities[] = {"identity", "identitylighting", "lightingdiffuse", "entity",
                                           "oneminusentity", "portal", "lightingspecular", "exactvertexlit"};
  if (std::find(std::begin(identities), std::end(identities), kind) != std::end(identities)) {
    gen = TColourGen::Identity;
    // A script that gives no range (or one not above 0) gets 256 units.
    if (!rgb && kind == "portal") {
      const float range = args.size() > 1 ? Number(args[1]).value_or(0.0f) : 0.0f;
      stage.PortalRange = range > 0 ? range : 256.0f;
    }
  } else if (kind == "vertex" || kind == "exactvertex" || kind == "vertexlit") {
    gen = TColourGen::Vertex;
  } else if (kind == "oneminusvertex") {
    gen = TColourGen::OneMinusVertex;
  } else if (kind == "const" || kind == "constant") {
    const auto values = Numbers(args, 1, rgb ? 3 : 1);
    if (!values) return Bad(keyword + " const", shader);
    if (rgb) std::copy(values->begin(), values->end(), stage.RgbConst);
    else stage.AlphaConst = (*values)[0];
    gen = TColourGen::Const;
  } else if (kind == "wave") {
    const std::optional<TWave> wave = Wave(args, 1);
    if (!wave) return Bad(keyword + " wave", shader);
    (rgb ? stage.RgbWave : stage.AlphaWave) = *wave;
    gen = TColourGen::Wave;
  } else {
    return (rgb ? "rgbGen '" : "alphaGen '") + kind + "' not understood in shader '" + shader + "'";
  }
  return std::nullopt;
}

std::optional<std::string> TcMod(TStage& stage, TArgs args, const std::string& shader) {
  if (stage.TcMods.size() >= kMostTcMods)
    return "more than " + std::to_string(kMostTcMods) + " tcMods in a stage of shader '" + shader + "'";
  const std::string kind = args.empty() ? "" : args[0];
  TTcMod mod;
  std::size_t count = 0;
  if (kind == "scroll") mod.Kind = TTcModKind::Scroll, count = 2;
  else if (kind == "scale") mod.Kind = TTcModKind::Scale, count = 2;
  else if (kind == "rotate") mod.Kind = TTcModKind::Rotate, count = 1;
  else if (kind == "transform") mod.Kind = TTcModKind::Transform, count = 6;
  else if (kind == "entitytranslate") return std::nullopt;  // moves with an entity: none here
  if (count > 0) {
    const auto values = Numbers(args, 1, count);
    if (!values) return Bad("tcMod " + kind, shader);
    std::copy(values->begin(), values->end(), mod.Values);
  } else if (kind == "stretch") {
    const std::optional<TWave> wave = Wave(args, 1);
    if (!wave) return Bad("tcMod stretch", shader);
    mod.Kind = TTcModKind::Stretch;
    mod.Wave = *wave;
  } else if (kind == "turb") {
    // <base> <amplitude> <phase> <frequency>, also written with a wave form first.
    const std::size_t at = args.size() > 1 && WaveFormNamed(args[1]) ? 2 : 1;
    const auto values = Numbers(args, at, 4);
    if (!values) return Bad("tcMod turb", shader);
    mod.Kind = TTcModKind::Turb;
    mod.Wave = TWave{TWaveForm::Sin, (*values)[0], (*values)[1], (*values)[2], (*values)[3]};
  } else {
    return "tcMod '" + kind + "' not understood in shader '" + shader + "'";
  }
  stage.TcMods.push_back(mod);
  return std::nullopt;
}

std::optional<std::string> Maps(TStage& stage, bool& hasMap, const std::string& k, TArgs args,
                                const std::string& shader) {
  // animMap's first value is its frequency; the frames follow.
  const std::size_t at = k == "animmap" ? 1 : 0;
  if (args.size() <= at) return k + " without an image in shader '" + shader + "'";
  if (hasMap) return std::nullopt;
  hasMap = true;
  stage.Map = args[at];
  stage.Clamp = k == "clampmap";
  if (k != "animmap") return std::nullopt;
  stage.FramesPerSecond = Number(args[0]).value_or(0);
  const std::size_t frames = std::min(args.size() - 1, kMostFrames);
  for (std::size_t i = 0; i < frames; ++i) stage.Frames.push_back(args[1 + i]);
  if (args.size() - 1 > kMostFrames)
    return "animMap with more than " + std::to_string(kMostFrames) + " frames in shader '" + shader +
           "'; the rest are not kept";
  return std::nullopt;
}

std::optional<TBlendFactor> BlendFactor(const std::string& word) {
  static const std::pair<const char*, TBlendFactor> names[] = {
      {"gl_zero", TBlendFactor::Zero},
      {"gl_one", TBlendFactor::One},
      {"gl_src_color", TBlendFactor::SrcColor},
      {"gl_one_minus_src_color", TBlendFactor::OneMinusSrcColor},
      {"gl_src_alpha", TBlendFactor::SrcAlpha},
      {"gl_one_minus_src_alpha", TBlendFactor::OneMinusSrcAlpha},
      {"gl_dst_alpha", TBlendFactor::DstAlpha},
      {"gl_one_minus_dst_alpha", TBlendFactor::OneMinusDstAlpha},
      {"gl_dst_color", TBlendFactor::DstColor},
      {"gl_one_minus_dst_color", TBlendFactor::OneMinusDstColor},
      {"gl_src_alpha_saturate", TBlendFactor::SrcAlphaSaturate}};
  for (const auto& [name, factor] : names)
    if (word == name) return factor;
  return std::nullopt;
}

std::optional<std::string> Blend(TStage& stage, TArgs args, const std::string& shader) {
  // Words after the ones needed are left alone: real scripts put a next directive on the same
  // line ("blendfunc filter  rgbGen identity").
  const std::string a = args.empty() ? "" : args[0];
  if (a == "add") {
    stage.BlendSource = TBlendFactor::One;
    stage.BlendDestination = TBlendFactor::One;
  } else if (a == "filter") {
    stage.BlendSource = TBlendFactor::DstColor;
    stage.BlendDestination = TBlendFactor::Zero;
  } else if (a == "blend") {
    stage.BlendSource = TBlendFactor::SrcAlpha;
    stage.BlendDestination = TBlendFactor::OneMinusSrcAlpha;
  } else if (args.size() >= 2 && BlendFactor(args[0]) && BlendFactor(args[1])) {
    stage.BlendSource = *BlendFactor(args[0]);
    stage.BlendDestination = *BlendFactor(args[1]);
  } else {
    return "blendFunc not understood in shader '" + shader + "'";
  }
  stage.HasBlend = true;
  return std::nullopt;
}

}  // namespace

std::optional<std::string> StageDirective(TStage& stage, bool& hasMap, const std::string& k, TArgs args,
                                          const std::string& shader) {
  const std::string first = args.empty() ? "" : args[0];
  if (k == "map" || k == "clampmap" || k == "animmap") return Maps(stage, hasMap, k, args, shader);
  if (k == "blendfunc") return Blend(stage, args, shader);
  if (k == "rgbgen" || k == "alphagen") return ColourGen(stage, k, args, shader);
  if (k == "tcmod") return TcMod(stage, args, shader);
  if (k == "alphafunc") {
    if (first == "gt0") stage.AlphaTest = TAlphaTest::GT0;
    else if (first == "lt128") stage.AlphaTest = TAlphaTest::LT128;
    else if (first == "ge128") stage.AlphaTest = TAlphaTest::GE128;
    else return "alphaFunc '" + first + "' is not GT0, LT128 or GE128";
  } else if (k == "tcgen" || k == "texgen") {
    if (first == "base" || first == "texture" || first == "vector") stage.TcGen = TTcGen::Base;
    else if (first == "lightmap") stage.TcGen = TTcGen::Lightmap;
    else if (first == "environment") stage.TcGen = TTcGen::Environment;
    else return "tcGen '" + first + "' not understood in shader '" + shader + "'";
  } else if (k == "depthwrite") {
    stage.DepthWrite = true;
  } else if (k == "depthfunc") {
    if (first == "equal") stage.DepthEqual = true;
    else if (first == "lequal") stage.DepthEqual = false;
    else return "depthFunc '" + first + "' is not equal or lequal";
  } else if (k != "detail" && k != "videomap") {
    return "unknown stage directive '" + k + "' in shader '" + shader + "'";
  }
  return std::nullopt;
}

namespace {

std::optional<std::string> Deform(TShader& shader, TArgs raw) {
  const std::vector<std::string> args = Unwrapped(raw);
  const std::string kind = args.empty() ? "" : args[0];
  if (kind == "projectionshadow" || kind == "flare" || (kind.starts_with("text") && kind.size() == 5))
    return "";  // shadows and text of the game's own entities: nothing of a level
  if (shader.Deforms.size() >= kMostDeforms)
    return "more than " + std::to_string(kMostDeforms) + " deformVertexes in shader '" + shader.Name + "'";
  TDeform deform;
  std::optional<TWave> wave;
  if (kind == "wave" && args.size() > 1 && Number(args[1]) && (wave = Wave(args, 2))) {
    deform.Kind = TDeformKind::Wave;
    deform.Spread = *Number(args[1]);
    deform.Wave = *wave;
  } else if (kind == "bulge" && Numbers(args, 1, 3)) {
    const std::vector<float> v = *Numbers(args, 1, 3);
    deform.Kind = TDeformKind::Bulge;
    deform.BulgeWidth = v[0], deform.BulgeHeight = v[1], deform.BulgeSpeed = v[2];
  } else if (kind == "move" && Numbers(args, 1, 3) && (wave = Wave(args, 4))) {
    const std::vector<float> v = *Numbers(args, 1, 3);
    deform.Kind = TDeformKind::Move;
    deform.Direction = {v[0], v[1], v[2]};
    deform.Wave = *wave;
  } else if (kind == "normal" && args.size() >= 3 && Numbers(args, args.size() - 2, 2)) {
    // <amplitude> <frequency> (the last two numbers; some scripts write a spread and form first).
    const std::vector<float> v = *Numbers(args, args.size() - 2, 2);
    deform.Kind = TDeformKind::Normal;
    deform.Wave.Amplitude = v[0], deform.Wave.Frequency = v[1];
  } else if (kind == "autosprite" || kind == "autosprite2") {
    deform.Kind = kind == "autosprite" ? TDeformKind::AutoSprite : TDeformKind::AutoSprite2;
  } else {
    return "deformVertexes '" + kind + "' not understood in shader '" + shader.Name + "'";
  }
  shader.Deforms.push_back(deform);
  return "";
}

float SortValue(const std::string& word) {
  static const std::pair<const char*, float> names[] = {
      {"portal", 1},  {"sky", 2},    {"opaque", 3},     {"decal", 4},     {"seethrough", 5},
      {"banner", 6},  {"underwater", 8}, {"additive", 9}, {"nearest", 16}};
  for (const auto& [name, value] : names)
    if (word == name) return value;
  return Number(word).value_or(0);
}

}  // namespace

std::optional<std::string> MotionDirective(TShader& shader, const std::string& k, TArgs args) {
  if (k == "deformvertexes") return Deform(shader, args);
  if (k == "polygonoffset") {
    shader.PolygonOffset = true;
  } else if (k == "sort") {
    shader.Sort = args.empty() ? 0 : SortValue(args[0]);
    if (shader.Sort == 1) shader.Portal = true;
  } else if (k == "skyparms") {
    const std::string box = args.empty() ? "" : args[0];
    shader.SkyFarBox = box == "-" ? "" : box;
    if (args.size() > 1 && Number(args[1])) shader.CloudHeight = *Number(args[1]);
  } else if (k == "fogparms") {
    const auto values = Numbers(Unwrapped(args), 0, 4);
    if (!values) return Bad("fogparms", shader.Name);
    std::copy(values->begin(), values->begin() + 3, shader.FogColour);
    shader.FogOpaqueDistance = (*values)[3];
    shader.HasFogParms = true;
  } else {
    return std::nullopt;
  }
  return "";
}

}  // namespace shaders::detail
