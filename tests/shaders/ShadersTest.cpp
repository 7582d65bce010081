// The script reader on small scripts (grammar, mistakes, hostile text), the rule for names defined
// twice, the image choice and the draw state of a texture.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "shaders/Shaders.h"

namespace {

using namespace shaders;

std::string Problems(const TShaderTable& table) {
  std::string text;
  for (const TProblem& p : table.Problems) text += p.Describe() + "\n";
  return text;
}

std::set<std::string> Names(const TShaderTable& table) {
  std::set<std::string> names;
  for (const auto& [name, shader] : table.Shaders) names.insert(name);
  return names;
}

struct TGrammarCase {
  const char* Script;
  std::set<std::string> Names;
  std::string Problems;  // exact, one "file:line: text" per line
};

class Grammar : public testing::TestWithParam<TGrammarCase> {};

TEST_P(Grammar, ReadsWhatCanBeReadAndNamesTheRest) {
  TShaderTable table;
  ReadShaderScript("scripts/t.shader", GetParam().Script, table);
  EXPECT_EQ(Names(table), GetParam().Names);
  EXPECT_EQ(Problems(table), GetParam().Problems);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, Grammar,
    testing::Values(
        TGrammarCase{"", {}, ""},
        TGrammarCase{"// only a comment\n/* and\n another */", {}, ""},
        TGrammarCase{"Textures/A/B\n{\n}\ntextures/c {{map x.tga}}", {"textures/a/b", "textures/c"}, ""},
        TGrammarCase{"\"textures/q q\" { /* c { */ // }\n }", {"textures/q q"}, ""},
        TGrammarCase{"a { surfaceparm nodraw\n frobnicate 3\n { map x.tga\n wobble\n } }",
                     {"a"},
                     "scripts/t.shader:2: unknown directive 'frobnicate' in shader 'a'\n"
                     "scripts/t.shader:4: unknown stage directive 'wobble' in shader 'a'\n"},
        // A missing closing brace: the next name at the start of a line begins the next shader.
        TGrammarCase{"textures/a\n{\n { map x.tga\n }\ntextures/b\n{\n}\n", {"textures/b"},
                     "scripts/t.shader:5: shader 'textures/a' not closed before 'textures/b'\n"},
        TGrammarCase{"a { { map x { } } }\nb { }", {"b"},
                     "scripts/t.shader:1: '{' inside a stage of shader 'a'\n"},
        TGrammarCase{"} a { }", {"a"}, "scripts/t.shader:1: expected a shader name, found '}'\n"},
        TGrammarCase{"a b { }", {"b"}, "scripts/t.shader:1: shader 'a' has no '{'\n"},
        TGrammarCase{"a {\n{ map x\n", {},
                     "scripts/t.shader:1: shader 'a' not closed before the end of the file\n"},
        TGrammarCase{"a { }\n/* open", {"a"},
                     "scripts/t.shader:2: comment not closed before the end of the file\n"},
        TGrammarCase{"\"a { }\nb { }", {"b"},
                     "scripts/t.shader:1: quote not closed on its line\n"
                     "scripts/t.shader:1: shader 'a { }' has no '{'\n"},
        TGrammarCase{"a { { blendFunc GL_ONE GL_TWO\n alphaFunc GT1 } }", {"a"},
                     "scripts/t.shader:1: blendFunc not understood in shader 'a'\n"
                     "scripts/t.shader:2: alphaFunc 'gt1' is not GT0, LT128 or GE128\n"}));

// Text no person writes: each case finishes, in linear time, with its problem named, and the
// shader after it is read unless the text left ten million braces open.
TEST(HostileScripts, EndWithAProblemAndKeepTheShaderThatFollows) {
  const std::string after = "\n}}}}\nlast { }";
  const struct {
    std::string Text;
    std::string FirstProblem;
    bool KeepsLast;
  } cases[] = {
      {std::string(10u << 20, '{'), "expected a shader name, found '{'", false},
      {"a {" + std::string(100'000, 'x') + "}", "token of <100000 characters> in shader 'a'", true},
      {"a " + std::string(10'000, '{') + std::string(10'000, '}'), "'{' inside a stage of shader 'a'", true},
      {std::string("a {\0\x01\xff\xfe{ map \x80\x7f }", 17) + "}", "", true},
      {"a { \"" + std::string(100'000, 'q'), "quote not closed on its line", true},
  };
  for (const auto& c : cases) {
    TShaderTable table;
    ReadShaderScript("s", c.Text + after, table);
    if (!c.FirstProblem.empty()) {
      ASSERT_FALSE(table.Problems.empty());
      EXPECT_EQ(table.Problems.front().Text, c.FirstProblem);
    }
    EXPECT_LE(table.Problems.size(), kProblemsPerScript + 1);
    EXPECT_EQ(table.Find("LAST") != nullptr, c.KeepsLast) << c.FirstProblem;
  }
}

// With a budget of shaders, the table keeps that many new names; the first one past it ends the
// reading: the rest of that script and every script after it are left out and noted there.
// A script that declares more than 16 MiB is refused without being read or read ahead.
TEST(ShaderTable, KeepsWhatTheBudgetHoldsAndRefusesLargeScriptsUnread) {
  const std::map<std::string, std::pair<std::uint64_t, std::string>> scripts = {
      {"scripts/a.shader", {0, "s1 {} s2 {} s1 {} s3 {} s4 {} s5 {}"}},
      {"scripts/b.shader", {0, "t {}"}},
      {"scripts/0big.shader", {platform::kMaxScriptBytes + 1, ""}},
      {"scripts/0edge.shader", {platform::kMaxScriptBytes, "e {}"}}};
  TShaderSource source;
  std::vector<std::string> readAhead;
  source.ScriptNames = [&] {
    std::vector<std::string> names;
    for (const auto& [name, script] : scripts) names.push_back(name);
    return names;
  };
  source.Size = [&](const std::string& name) { return std::optional<std::uint64_t>(scripts.at(name).first); };
  source.Read = [&](const std::string& name) -> std::optional<std::vector<std::uint8_t>> {
    if (name == "scripts/0big.shader") ADD_FAILURE() << "read";
    const std::string& text = scripts.at(name).second;
    return std::vector<std::uint8_t>(text.begin(), text.end());
  };
  source.ReadAhead = [&](const std::vector<std::string>& names) { readAhead = names; };
  platform::TBudget budget({.Shaders = 4});
  const TShaderTable table = LoadShaderTable(source, &budget);
  EXPECT_EQ(readAhead, (std::vector<std::string>{"scripts/0edge.shader", "scripts/a.shader", "scripts/b.shader"}));
  EXPECT_EQ(table.Shaders.size(), 4u);
  EXPECT_NE(table.Find("s3"), nullptr);
  EXPECT_EQ(table.Find("s4"), nullptr);
  EXPECT_EQ(table.Duplicates, 1u);
  EXPECT_EQ(Problems(table), "scripts/0big.shader:0: larger than 16 MiB, not read\n");
  EXPECT_EQ(budget.Used(platform::TBudgetKind::Shaders), 4u);
  EXPECT_EQ(budget.TakeWarnings(),
            std::vector<std::string>{"the budget of 4 shaders kept is spent; left out: the rest of "
                                     "scripts/a.shader and scripts/b.shader"});
}

// A shader keeps its first 32 stages; the rest are read, dropped and told once.
TEST(ShaderTable, AShaderKeepsAtMost32Stages) {
  std::string text = "many {";
  for (int i = 0; i < 40; ++i) text += " { map s" + std::to_string(i) + ".tga }";
  text += " }\nnext { }";
  TShaderTable table;
  ReadShaderScript("x.shader", text, table);
  ASSERT_NE(table.Find("many"), nullptr);
  EXPECT_EQ(table.Find("many")->Stages.size(), kMostStages);
  EXPECT_EQ(table.Find("many")->Stages.back().Map, "s31.tga");
  EXPECT_NE(table.Find("next"), nullptr);
  EXPECT_EQ(Problems(table), "x.shader:1: shader 'many' has more than 32 stages; the rest are not kept\n");
}

// Scripts are read by ascending lower-case name, whatever order the source lists them in, and the
// first definition of a name wins.
TEST(ShaderTable, FirstDefinitionInNameOrderWins) {
  TShaderSource source;
  source.ScriptNames = [] { return std::vector<std::string>{"scripts/b.shader", "scripts/missing.shader", "scripts/A.shader"}; };
  source.Read = [](const std::string& name) -> std::optional<std::vector<std::uint8_t>> {
    if (name == "scripts/missing.shader") return std::nullopt;
    const std::string text = "dup { qer_editorimage " + name + "\n}";
    return std::vector<std::uint8_t>(text.begin(), text.end());
  };
  const TShaderTable table = LoadShaderTable(source);
  ASSERT_NE(table.Find("dup"), nullptr);
  EXPECT_EQ(table.Find("dup")->EditorImage, "scripts/a.shader");
  EXPECT_EQ(table.Duplicates, 1u);
  EXPECT_EQ(Problems(table), "scripts/missing.shader:0: cannot be read\n");
}

TEST(ImageChoice, ShaderStageThenEditorImageAndOwnFileOnlyWithoutShader) {
  TShaderTable table;
  ReadShaderScript("s",
                   "t/lit { { map $lightmap } { map i/lit.tga } }\n"
                   "t/white { { map $whiteimage } { map $lightmap } { clampMap i/w } }\n"
                   "t/ed { qer_editorimage i/ed.tga\n { map i/gone.tga } }\n"
                   "t/none { qer_editorimage i/none.jpg }\n"
                   "t/anim { { animMap 2 i/f1 i/f2 } }",
                   table);
  const struct {
    const char* Texture;
    std::set<std::string> Files;
    TImageOrigin Origin;
    std::vector<std::string> Images;
  } cases[] = {
      // A shader that defines the name decides, even when an image of that name exists.
      {"t/lit", {"t/lit.jpg", "t/lit.tga", "i/lit.tga"}, TImageOrigin::Shader, {"i/lit.tga"}},
      {"t/plain", {"t/plain.jpg", "t/plain.tga"}, TImageOrigin::File, {"t/plain.jpg", "t/plain.tga"}},
      {"t/lit", {"i/lit.tga", "i/lit.jpg"}, TImageOrigin::Shader, {"i/lit.tga"}},
      {"t/lit", {"i/lit.jpg"}, TImageOrigin::Shader, {"i/lit.jpg"}},
      {"t/white", {"i/w.tga"}, TImageOrigin::Shader, {"i/w.tga"}},
      {"t/ed", {"i/ed.jpg"}, TImageOrigin::EditorImage, {"i/ed.jpg"}},
      {"t/none", {"i/none.png"}, TImageOrigin::None, {}},
      {"t/unknown", {"t/unknown.tga.jpg"}, TImageOrigin::None, {}},
      {"T/ANIM", {"i/f1.tga", "i/f2.jpg"}, TImageOrigin::Shader, {"i/f1.tga"}},
  };
  for (const auto& c : cases) {
    const TTextureSurface surface =
        DescribeTexture(c.Texture, table, [&](const std::string& name) { return c.Files.count(name) > 0; });
    EXPECT_EQ(surface.Origin, c.Origin) << c.Texture;
    EXPECT_EQ(surface.Images, c.Images) << c.Texture;
  }
}

TEST(DrawState, FromTheShaderOfTheTexture) {
  const std::pair<const char*, const char*> cases[] = {
      {"{ { map $lightmap } { map x blendFunc filter } }", ""},
      {"{ { map x } }", "nolightmap"},
      {"{ surfaceparm nolightmap\n { map x } { map $lightmap } }", "nolightmap"},
      {"{ surfaceparm nodraw\n { map x } }", "nodraw"},
      {"{ surfaceparm trans }", "nodraw"},
      {"{ surfaceparm sky\n skyparms env/s - - }", "sky"},
      {"{ cull none\n { map x\n alphaFunc GE128 } { map $lightmap } }", "twosided alpha-ge128"},
      {"{ { map $lightmap } { map x\n alphaFunc GT0 } }", "alpha-gt0"},
      {"{ { map x\n blendFunc add } { map $lightmap } }", "blend-add nolightmap"},
      {"{ { map x\n blendFunc GL_DST_COLOR GL_ZERO } }", "blend-filter nolightmap"},
      {"{ { map x\n blendFunc blend } }", "blend-alpha nolightmap"},
      {"{ { map x\n blendFunc add rgbGen identity } }", "blend-add nolightmap"},
      {"{ { map x\n blendFunc GL_ONE GL_ZERO } { map $lightmap } }", ""},
      {"{ { map x\n blendFunc GL_ONE_MINUS_DST_COLOR GL_ONE } }", "blend-other nolightmap"},
  };
  for (const auto& [body, flags] : cases) {
    TShaderTable table;
    ReadShaderScript("s", std::string("s ") + body, table);
    ASSERT_TRUE(table.Problems.empty()) << Problems(table);
    EXPECT_EQ(FlagsText(DrawStateOf(table.Find("s"))), flags) << body;
  }
  EXPECT_EQ(DrawStateOf(nullptr), TDrawState{});
}

TEST(SkyBox, NeedsAllSixImages) {
  TShader sky;
  sky.SkyFarBox = "env/s";
  std::set<std::string> files = {"env/s_rt.jpg", "env/s_bk.tga", "env/s_lf.jpg", "env/s_ft.jpg", "env/s_up.jpg"};
  const auto exists = [&](const std::string& name) { return files.count(name) > 0; };
  EXPECT_FALSE(FindSkyBox(sky, exists));
  files.insert("env/s_dn.jpg");
  EXPECT_EQ(FindSkyBox(sky, exists)->at(1), "env/s_bk.tga");
}

}  // namespace
