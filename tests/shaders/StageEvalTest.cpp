// What moves, without a GL: waves at chosen times, tcMod matrices against hand-computed ones,
// deforms of a known quad, the stage directives as read, the stage plans and their per-frame
// values, and the bounds on hostile numbers and counts.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "shaders/Deforms.h"
#include "shaders/StagePlan.h"
#include "shaders/TexMods.h"
#include "shaders/Waves.h"

namespace {

using namespace shaders;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(Waves, ValuesAtChosenTimes) {
  const struct {
    TWave Wave;
    double Seconds;
    float Expected;
  } cases[] = {
      {{TWaveForm::Sin, 1, 2, 0, 1}, 0.25, 3},     // base + amplitude at a quarter cycle
      {{TWaveForm::Sin, 1, 2, 0.5, 1}, 0.25, -1},  // half a cycle of phase later
      {{TWaveForm::Triangle, 0, 1, 0, 2}, 0.125, 1},
      {{TWaveForm::Triangle, 0, 1, 0, 1}, 0.5, 0},
      {{TWaveForm::Triangle, 0, 1, 0, 1}, 0.75, -1},
      {{TWaveForm::Square, 0, 1, 0, 1}, 0.1, 1},
      {{TWaveForm::Square, 0, 1, 0, 1}, 0.6, -1},
      {{TWaveForm::Sawtooth, 0, 1, 0, 1}, 1.3, 0.3f},
      {{TWaveForm::InverseSawtooth, 0, 1, 0, 1}, 1.3, 0.7f},
      {{TWaveForm::Sawtooth, 0.5, 1, 0, kNaN}, 7, 0.5f},             // a NaN rate stands still
      {{TWaveForm::Sin, 0.5, 1, 0, 1e30f}, 3, 0.5f},                 // 1e30 cycles: whole turns
      {{TWaveForm::Sin, 0.25, 1e30f, 0, 1}, 0.25, 0.25f},            // a result too big: the base
  };
  for (const auto& c : cases)
    EXPECT_NEAR(WaveValue(c.Wave, c.Seconds), c.Expected, 1e-5) << static_cast<int>(c.Wave.Form) << " at " << c.Seconds;
  // Noise: the same value every time, always within -1 .. 1, and moving.
  float lowest = 1, highest = -1;
  for (int i = 0; i < 1000; ++i) {
    const float v = WaveForm(TWaveForm::Noise, i * 0.37);
    EXPECT_EQ(v, WaveForm(TWaveForm::Noise, i * 0.37));
    lowest = std::min(lowest, v), highest = std::max(highest, v);
  }
  EXPECT_GE(lowest, -1.0f);
  EXPECT_LE(highest, 1.0f);
  EXPECT_GT(highest - lowest, 0.5f);
  EXPECT_EQ(WaveFormNamed("inversesawtooth"), TWaveForm::InverseSawtooth);
  EXPECT_EQ(WaveFormNamed("cos"), std::nullopt);
}

TTcMod Mod(TTcModKind kind, std::initializer_list<float> values, TWave wave = {}) {
  TTcMod mod;
  mod.Kind = kind;
  std::copy(values.begin(), values.end(), mod.Values);
  mod.Wave = wave;
  return mod;
}

void ExpectMatrix(const TTexMatrix& m, const TTexMatrix& e, const std::string& what) {
  const float got[] = {m.A, m.B, m.C, m.D, m.E, m.F}, want[] = {e.A, e.B, e.C, e.D, e.E, e.F};
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(got[i], want[i], 1e-5) << what << " entry " << i;
}

TEST(TexMods, MatricesInTheOrderWritten) {
  const TTcMod scroll = Mod(TTcModKind::Scroll, {0.5f, -0.25f}), scale = Mod(TTcModKind::Scale, {2, 3});
  const struct {
    std::vector<TTcMod> Mods;
    double Seconds;
    TTexMatrix Expected;
    const char* What;
  } cases[] = {
      {{scroll}, 0.5, {1, 0, 0.25f, 0, 1, 0.875f}, "scroll: offsets wrapped into 0 .. 1"},
      {{Mod(TTcModKind::Scroll, {3, 0})}, 0.5, {1, 0, 0.5f, 0, 1, 0}, "1.5 textures is half of one"},
      {{scale}, 9, {2, 0, 0, 0, 3, 0}, "scale"},
      {{scale, scroll}, 0.5, {2, 0, 0.25f, 0, 3, 0.875f}, "scale, then scroll"},
      {{scroll, scale}, 0.5, {2, 0, 0.5f, 0, 3, 2.625f}, "scroll, then scale"},
      // 90 degrees turn about the middle: s' = t, t' = 1 - s.
      {{Mod(TTcModKind::Rotate, {45})}, 2, {0, 1, 0, -1, 0, 1}, "rotate"},
      {{Mod(TTcModKind::Transform, {1, 2, 3, 4, 5, 6})}, 0, {1, 3, 5, 2, 4, 6}, "transform"},
      {{Mod(TTcModKind::Stretch, {}, {TWaveForm::Sin, 2, 0, 0, 0})}, 0, {0.5f, 0, 0.25f, 0, 0.5f, 0.25f},
       "stretch by 2 about the middle"},
      {{Mod(TTcModKind::Turb, {}, {TWaveForm::Sin, 0, 0.1f, 0, 1})}, 0, {1, 0, 0, 0, 1, 0.1f},
       "turb: a quarter turn apart in s and t"},
      {{Mod(TTcModKind::Stretch, {}, {TWaveForm::Sin, 0, 0, 0, 0})}, 0, {1024, 0, -511.5f, 0, 1024, -511.5f},
       "a stretch by 0 stops at 1024 times"},
  };
  for (const auto& c : cases) ExpectMatrix(StageTexMatrix(c.Mods, c.Seconds), c.Expected, c.What);
  // The surface coordinates run with t the other way: flip, apply, flip back.
  ExpectMatrix(FlippedT({1, 2, 3, 4, 5, 6}), {1, -2, 3, -4, 5, -6}, "flipped");
  // Hostile numbers stay finite and small.
  for (const TTcMod& mod : {Mod(TTcModKind::Turb, {}, {TWaveForm::Sin, 1e30f, 1e30f, kNaN, 1e30f}),
                            Mod(TTcModKind::Scroll, {1e30f, kNaN}), Mod(TTcModKind::Rotate, {kNaN}),
                            Mod(TTcModKind::Rotate, {1e30f}), Mod(TTcModKind::Scale, {kNaN, 1e38f})}) {
    const TTexMatrix m = TcModMatrix(mod, 1e6);
    for (const float v : {m.A, m.B, m.C, m.D, m.E, m.F}) EXPECT_TRUE(std::isfinite(v) && std::fabs(v) <= 1024);
  }
  float gl[16];
  ToGLMatrix({1, 2, 3, 4, 5, 6}, gl);
  EXPECT_EQ(std::vector<float>(gl, gl + 16),
            (std::vector<float>{1, 4, 0, 0, 2, 5, 0, 0, 0, 0, 1, 0, 3, 6, 0, 1}));
}

// A 2 x 2 quad in the z = 0 plane around (10, 0, 0), its normal up, s running 0 .. 1 along x.
struct TQuad {
  std::vector<TVector> Positions{{9, -1, 0}, {9, 1, 0}, {11, 1, 0}, {11, -1, 0}};
  std::vector<TVector> Normals{4, TVector{0, 0, 1}};
  std::vector<TTexCoord> Coords{{0, 0}, {0, 1}, {1, 1}, {1, 0}};
  TDeformFace Face() { return {Positions, Normals, Coords}; }
};

TEST(Deforms, KnownQuad) {
  TDeform wave;
  wave.Kind = TDeformKind::Wave;
  wave.Wave = {TWaveForm::Sin, 2, 3, 0, 1};
  TQuad q;
  ApplyDeform(wave, 0.25, q.Face());  // every vertex in step: up by 2 + 3
  for (const TVector& p : q.Positions) EXPECT_FLOAT_EQ(p.Z, 5);
  wave.Spread = 4;  // a quarter cycle per unit of x + y + z
  wave.Wave = {TWaveForm::Sawtooth, 0, 1, 0, 0};
  TQuad spread;
  ApplyDeform(wave, 0, spread.Face());
  EXPECT_NEAR(spread.Positions[0].Z, 0.0f, 1e-5);   // 9 - 1 = 8: two whole cycles
  EXPECT_NEAR(spread.Positions[1].Z, 0.5f, 1e-5);   // 10: two and a half
  EXPECT_NEAR(spread.Positions[2].Z, 0.0f, 1e-5);   // 12: three

  TDeform move;
  move.Kind = TDeformKind::Move;
  move.Direction = {0, 0, 4};
  move.Wave = {TWaveForm::Square, 0, 1, 0, 1};
  TQuad moved;
  ApplyDeform(move, 0.6, moved.Face());  // the square wave's second half: down 4
  EXPECT_FLOAT_EQ(moved.Positions[2].Z, -4);
  EXPECT_FLOAT_EQ(moved.Positions[2].X, 11);

  TDeform bulge;
  bulge.Kind = TDeformKind::Bulge;
  bulge.BulgeWidth = static_cast<float>(M_PI);  // half a turn across the texture
  bulge.BulgeHeight = 2;
  TQuad bulged;
  ApplyDeform(bulge, 0, bulged.Face());
  EXPECT_NEAR(bulged.Positions[0].Z, 0, 1e-5);  // s = 0
  EXPECT_NEAR(bulged.Positions[2].Z, 0, 1e-5);  // s = 1: sin(pi)
  bulge.BulgeSpeed = static_cast<float>(M_PI / 2);
  TQuad later;
  ApplyDeform(bulge, 1, later.Face());
  EXPECT_NEAR(later.Positions[0].Z, 2, 1e-5);  // sin(pi / 2) a second later

  // Hostile numbers leave the vertices where they were.
  TDeform hostile = wave;
  hostile.Spread = kNaN;
  hostile.Wave = {TWaveForm::Sin, kNaN, 1e30f, kNaN, 1e30f};
  TQuad still;
  ApplyDeform(hostile, 1e6, still.Face());
  for (const TVector& p : still.Positions) EXPECT_TRUE(std::isfinite(p.Z));
}

TVector Normal(const std::vector<TVector>& q) {
  const TVector a{q[1].X - q[0].X, q[1].Y - q[0].Y, q[1].Z - q[0].Z};
  const TVector b{q[2].X - q[1].X, q[2].Y - q[1].Y, q[2].Z - q[1].Z};
  TVector n{b.Y * a.Z - b.Z * a.Y, b.Z * a.X - b.X * a.Z, b.X * a.Y - b.Y * a.X};
  const float l = std::sqrt(n.X * n.X + n.Y * n.Y + n.Z * n.Z);
  return {n.X / l, n.Y / l, n.Z / l};
}

TEST(Deforms, AutoSpriteFacesTheEyeFromTwoPoses) {
  const struct {
    TVector Eye, Facing;
  } poses[] = {{{10, 0, 100}, {0, 0, 1}}, {{10, -100, 0}, {0, -1, 0}}, {{-90, 0, 0}, {-1, 0, 0}}};
  for (const auto& pose : poses) {
    TQuad q;
    AutoSprite(q.Positions, pose.Eye, false);
    const TVector n = Normal(q.Positions);
    EXPECT_NEAR(n.X * pose.Facing.X + n.Y * pose.Facing.Y + n.Z * pose.Facing.Z, 1, 1e-4)
        << pose.Eye.X << "," << pose.Eye.Y << "," << pose.Eye.Z;
    // The same size: its first edge keeps its length.
    const TVector e{q.Positions[1].X - q.Positions[0].X, q.Positions[1].Y - q.Positions[0].Y,
                    q.Positions[1].Z - q.Positions[0].Z};
    EXPECT_NEAR(e.X * e.X + e.Y * e.Y + e.Z * e.Z, 4, 1e-3);
  }
  // A beam (autosprite2) turns about its long axis only: a 2 x 8 quad along x keeps its x extent.
  std::vector<TVector> beam{{6, -1, 0}, {6, 1, 0}, {14, 1, 0}, {14, -1, 0}};
  AutoSprite(beam, {10, -100, 0}, true);
  EXPECT_NEAR(std::fabs(beam[2].X - beam[1].X), 8, 1e-4);
  EXPECT_NEAR(std::fabs(Normal(beam).Y), 1, 1e-4);
}

TShader Read(const std::string& text, TShaderTable& table) {
  ReadShaderScript("s", text, table);
  return table.Shaders.begin()->second;
}

TEST(StageDirectives, ReadIntoStagesAndShader) {
  TShaderTable table;
  const TShader s = Read(
      "t/x { deformVertexes wave 100 sin 0 2 0 1\n deformVertexes autosprite2\n polygonOffset\n sort additive\n"
      " fogparms ( 0.5 0.25 1 ) 300\n skyparms - 256 -\n"
      " { animMap 2 a.tga b.tga c.tga\n rgbGen wave triangle 0.5 0.5 0 1\n alphaGen const 0.25\n"
      "   tcMod scroll 1 0\n tcMod rotate 10\n tcGen environment\n depthWrite\n depthFunc equal\n"
      "   blendFunc GL_ONE GL_ONE_MINUS_SRC_ALPHA }\n"
      " { clampMap b.tga\n rgbGen oneMinusVertex\n alphaGen vertex }\n"
      " { map $lightmap\n rgbGen const ( 0.5 0.5 1 )\n tcMod turb 0 0.1 0 1\n tcMod warp 1 }\n}\n",
      table);
  ASSERT_EQ(s.Stages.size(), 3u);
  const TStage& a = s.Stages[0];
  EXPECT_EQ(a.Frames, (std::vector<std::string>{"a.tga", "b.tga", "c.tga"}));
  EXPECT_EQ(a.FramesPerSecond, 2);
  EXPECT_EQ(a.RgbGen, TColourGen::Wave);
  EXPECT_EQ(a.RgbWave, (TWave{TWaveForm::Triangle, 0.5f, 0.5f, 0, 1}));
  EXPECT_EQ(a.AlphaGen, TColourGen::Const);
  EXPECT_EQ(a.AlphaConst, 0.25f);
  EXPECT_EQ(a.TcMods.size(), 2u);
  EXPECT_EQ(a.TcGen, TTcGen::Environment);
  EXPECT_TRUE(a.DepthWrite && a.DepthEqual && a.HasBlend);
  EXPECT_EQ(a.BlendDestination, TBlendFactor::OneMinusSrcAlpha);
  EXPECT_TRUE(s.Stages[1].Clamp);
  EXPECT_EQ(s.Stages[1].RgbGen, TColourGen::OneMinusVertex);
  EXPECT_EQ(s.Stages[1].AlphaGen, TColourGen::Vertex);
  EXPECT_EQ(s.Stages[2].RgbConst[2], 1.0f);
  EXPECT_EQ(s.Stages[2].TcMods.size(), 1u);
  ASSERT_EQ(s.Deforms.size(), 2u);
  EXPECT_EQ(s.Deforms[0].Spread, 100);
  EXPECT_EQ(s.Deforms[1].Kind, TDeformKind::AutoSprite2);
  EXPECT_TRUE(s.PolygonOffset);
  EXPECT_EQ(s.Sort, 9);
  EXPECT_TRUE(s.HasFogParms);
  EXPECT_EQ(s.FogColour[1], 0.25f);
  EXPECT_EQ(s.FogOpaqueDistance, 300);
  EXPECT_EQ(s.CloudHeight, 256);
  ASSERT_EQ(table.Problems.size(), 1u);
  EXPECT_EQ(table.Problems[0].Describe(), "s:22: tcMod 'warp' not understood in shader 't/x'");
}

// portal and sort portal mark the shader; alphaGen portal keeps its range (256 when not above 0),
// its alpha otherwise taken as identity.
TEST(StageDirectives, PortalMarksAndRanges) {
  const std::pair<std::string, std::pair<bool, float>> cases[] = {
      {"t/p { portal\n { map a.tga\n alphaGen portal 1024 } }", {true, 1024.0f}},
      {"t/p { sort portal\n { map a.tga\n alphaGen portal } }", {true, 256.0f}},
      {"t/p { sort 1\n { map a.tga\n alphaGen portal -5 } }", {true, 256.0f}},
      {"t/p { { map a.tga\n rgbGen portal 1024 } }", {false, 0.0f}},
  };
  for (const auto& [text, want] : cases) {
    TShaderTable table;
    const TShader s = Read(text, table);
    ASSERT_EQ(s.Stages.size(), 1u) << text;
    EXPECT_EQ(s.Portal, want.first) << text;
    EXPECT_EQ(s.Stages[0].PortalRange, want.second) << text;
    EXPECT_EQ(s.Stages[0].AlphaGen, TColourGen::Identity) << text;
    EXPECT_TRUE(table.Problems.empty()) << text;
  }
}

TEST(StageDirectives, HostileCountsAreBounded) {
  std::string stages, frames;
  for (int i = 0; i < 10000; ++i) stages += "{ map a.tga }\n";
  for (int i = 0; i < 1000; ++i) frames += " f" + std::to_string(i) + ".tga";
  TShaderTable table;
  const TShader s = Read("t/many {\n" + stages + "}\n", table);
  EXPECT_EQ(s.Stages.size(), kMostStages);
  ASSERT_EQ(table.Problems.size(), 1u);  // told once
  EXPECT_EQ(table.Problems[0].Text, "shader 't/many' has more than 32 stages; the rest are not kept");
  TShaderTable other;
  const TShader anim = Read("t/anim { { animMap nan" + frames + " } }\n", other);
  EXPECT_EQ(anim.Stages[0].Frames.size(), kMostFrames);
  ASSERT_EQ(other.Problems.size(), 1u);
  EXPECT_EQ(other.Problems[0].Text, "animMap with more than 8 frames in shader 't/anim'; the rest are not kept");
  TPlannedStage planned;
  for (const double t : {0.0, 1.0, 1e6}) EXPECT_EQ(EvaluateStage(anim, planned, t).Frame, 0u);
  EXPECT_EQ(PlanStages(s, DrawStateOf(&s)).Stages.size(), kMostDrawnStages);
}

TEST(StagePlans, OrderStateAndValuesAtATime) {
  TShaderTable table;
  ReadShaderScript("s",
                   "t/lit { { map $lightmap } { map t/wall.tga\n blendFunc filter } }\n"
                   "t/glow { { map t/base.tga } { map t/glow.tga\n blendFunc add\n rgbGen wave square 0.5 0.5 0 1 } }\n"
                   "t/anim { { animMap 2 a b c d\n tcMod scroll 0.5 0 } }\n"
                   "t/add { { map t/a.tga\n blendFunc add\n alphaGen wave sawtooth 0 1 0 1 } }\n",
                   table);
  const auto plan = [&](const char* name) {
    const TShader& s = table.Shaders.at(name);
    return std::pair{&s, PlanStages(s, DrawStateOf(&s))};
  };
  // The usual pair is drawn image first, then the lightmap at twice the product.
  const auto [lit, litPlan] = plan("t/lit");
  ASSERT_EQ(litPlan.Stages.size(), 2u);
  EXPECT_EQ(litPlan.Stages[0].Texture, TStageTexture::Image);
  EXPECT_FALSE(litPlan.Stages[0].Blend);
  EXPECT_EQ(litPlan.Stages[1].Texture, TStageTexture::Lightmap);
  EXPECT_EQ(litPlan.Stages[1].Source, TBlendFactor::DstColor);
  EXPECT_EQ(litPlan.Stages[1].Destination, TBlendFactor::SrcColor);
  EXPECT_TRUE(litPlan.Stages[1].LightmapCoords);
  EXPECT_FALSE(litPlan.Stages[1].DepthWrite);
  EXPECT_FALSE(litPlan.AfterSky);

  const auto [glow, glowPlan] = plan("t/glow");
  EXPECT_EQ(EvaluateStage(*glow, glowPlan.Stages[1], 0.25).Colour[0], 1.0f);
  EXPECT_EQ(EvaluateStage(*glow, glowPlan.Stages[1], 0.75).Colour[0], 0.0f);
  EXPECT_TRUE(glowPlan.Stages[1].Moves);

  const auto [anim, animPlan] = plan("t/anim");
  const struct {
    double Seconds;
    std::size_t Frame;
  } frames[] = {{0, 0}, {0.49, 0}, {0.5, 1}, {1.6, 3}, {2.1, 0}};
  for (const auto& f : frames) EXPECT_EQ(EvaluateStage(*anim, animPlan.Stages[0], f.Seconds).Frame, f.Frame) << f.Seconds;
  // Scroll half a texture a second: after 0.5 s a quarter, with t flipped for the level's coordinates.
  const TStageValues v = EvaluateStage(*anim, animPlan.Stages[0], 0.5);
  EXPECT_FALSE(v.Identity);
  EXPECT_FLOAT_EQ(v.Matrix[12], 0.25f);

  const auto [add, addPlan] = plan("t/add");
  EXPECT_TRUE(addPlan.AfterSky);
  EXPECT_EQ(addPlan.Sort, 9);
  EXPECT_TRUE(addPlan.Stages[0].Blend);
  EXPECT_FLOAT_EQ(EvaluateStage(*add, addPlan.Stages[0], 1.25).Colour[3], 0.25f);
}

// --fast folds only the plain frame's pair (and a still detail image over it) into its one pass;
// anything that moves, tints, blends, deforms or lies on another surface keeps its stages.
TEST(StagePlans, OnePassOnlyForAStillImageAndItsLightmap) {
  const struct {
    const char* Body;
    bool OnePass;
  } cases[] = {
      {"{ map t/w.tga } { map $lightmap\n blendFunc filter }", true},
      {"{ map $lightmap } { map t/w.tga\n blendFunc GL_DST_COLOR GL_ZERO }", true},
      {"{ map t/w.tga\n alphaFunc GE128 } { map $lightmap\n blendFunc filter }", true},
      {"{ map t/w.tga\n tcMod scroll 1 0 } { map $lightmap\n blendFunc filter }", false},
      {"{ map t/w.tga\n rgbGen vertex } { map $lightmap\n blendFunc filter }", false},
      {"{ map t/w.tga\n rgbGen const ( 1 0 0 ) } { map $lightmap\n blendFunc filter }", false},
      {"{ map t/w.tga } { map $lightmap\n blendFunc add }", false},
      {"{ map t/w.tga } { map $lightmap\n blendFunc filter } { map t/g.tga\n blendFunc add }", false},
      {"{ map t/w.tga } { map $lightmap\n blendFunc filter } { map t/d.tga\n blendFunc GL_DST_COLOR GL_SRC_COLOR\n tcMod scale 4 4\n detail }", true},
      {"{ map t/w.tga } { map $lightmap\n blendFunc filter } { map t/d.tga\n blendFunc filter\n tcMod scroll 1 0 }", false},
      {"deformVertexes wave 64 sin 0 1 0 1\n { map t/w.tga } { map $lightmap\n blendFunc filter }", false},
      {"polygonOffset\n { map t/w.tga } { map $lightmap\n blendFunc filter }", false},
      {"{ map t/w.tga\n blendFunc add } { map $lightmap\n blendFunc filter }", false},
      {"{ map t/w.tga }", false},
  };
  for (const auto& c : cases) {
    TShaderTable table;
    ReadShaderScript("s", std::string("t/x {\n") + c.Body + "\n}\n", table);
    const TShader& s = table.Shaders.at("t/x");
    EXPECT_EQ(PlanStages(s, DrawStateOf(&s)).OnePass, c.OnePass) << c.Body;
  }
}

}  // namespace

namespace {

// How the lightmap stage blends under the rules: the design's twice the product, the game's light
// once, and --game-stages' multiply for a $lightmap stage without blendFunc after an opaque image.
TEST(StagePlans, LightmapStageUnderTheRules) {
  const struct {
    const char* Body;
    TPlanRules Rules;
    bool Blend;
    TBlendFactor Destination;
    bool OnePass;
  } cases[] = {
      {"{ map t/w.tga } { map $lightmap\n blendFunc filter }", {true, false}, true, TBlendFactor::SrcColor, true},
      {"{ map t/w.tga } { map $lightmap\n blendFunc filter }", {false, false}, true, TBlendFactor::Zero, true},
      {"{ map $lightmap } { map t/w.tga\n blendFunc filter }", {false, false}, true, TBlendFactor::Zero, true},
      {"{ map t/w.tga } { map $lightmap }", {true, false}, false, TBlendFactor::Zero, false},  // replaces
      {"{ map t/w.tga } { map $lightmap }", {true, true}, true, TBlendFactor::SrcColor, true},
      {"{ map t/w.tga } { map $lightmap }", {false, true}, true, TBlendFactor::Zero, true},
      {"{ map t/w.tga\n blendFunc add } { map $lightmap }", {true, true}, false, TBlendFactor::Zero, false},
      {"{ map t/w.tga } { map $lightmap\n blendFunc add }", {true, true}, true, TBlendFactor::One, false},
  };
  for (const auto& c : cases) {
    TShaderTable table;
    ReadShaderScript("s", std::string("t/x {\n") + c.Body + "\n}\n", table);
    const TShader& s = table.Shaders.at("t/x");
    const TStagePlan plan = PlanStages(s, DrawStateOf(&s), c.Rules);
    ASSERT_EQ(plan.Stages.size(), 2u) << c.Body;
    EXPECT_EQ(plan.Stages[1].Blend, c.Blend) << c.Body;
    if (c.Blend) {
      EXPECT_EQ(plan.Stages[1].Destination, c.Destination) << c.Body;
    }
    EXPECT_EQ(plan.OnePass, c.OnePass) << c.Body;
  }
}

}  // namespace
