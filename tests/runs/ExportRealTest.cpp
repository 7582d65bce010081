// --export on OpenArena's levels with --full: the file holds what --info counts as drawn, the
// Khronos glTF validator finds no error and no warning, and three.js in headless Chromium draws
// from a spawn point what bspwalk --screenshot draws there.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <utility>

#include "support/Gltf.h"
#include "support/Picture.h"
#include "support/Program.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

// A small level, a medium one with curved surfaces, a large one with sky, glass and glows.
const std::vector<std::string> kLevels = {"oa_dm4", "kaos2", "ctf_inyard"};

std::vector<std::string> WithData(std::vector<std::string> args) {
  args.insert(args.begin(), {"--data", fs::path(testsupport::OpenArenaArchive("pak0.pk3")).parent_path().string()});
  return args;
}

// node, Chromium and the npm packages, or what is missing and how to get it.
std::string MissingWebTools() {
  std::string missing;
  const auto need = [&](const std::string& path, const std::string& what) {
    std::error_code ec;
    if (!fs::exists(path, ec)) missing += (missing.empty() ? "" : ", ") + what;
  };
  need(BSPWALK_NODE, "node");
  need(BSPWALK_CHROMIUM, "chromium");
  need(BSPWALK_WEB_DIR "/node_modules/three/package.json", "the npm package three");
  need(BSPWALK_WEB_DIR "/node_modules/gltf-validator/package.json", "the npm package gltf-validator");
  if (missing.empty()) return missing;
  return "not installed: " + missing + " (scripts/install-deps installs node and chromium, "
         "scripts/install-web-tools the npm packages into " BSPWALK_WEB_DIR ")";
}

class ExportReal : public testing::Test {
 protected:
  // Each level exported once for all the tests.
  static void SetUpTestSuite() {
    Dir = std::make_unique<testsupport::TTempDir>();
    for (const std::string& level : kLevels) {
      const testsupport::TRun run =
          testsupport::RunProgram(BSPWALK_PROGRAM, WithData({"--export", level + ".glb", "--full", level}), Dir->Path());
      ASSERT_EQ(run.ExitCode, 0) << run.Err;
    }
  }
  static void TearDownTestSuite() { Dir.reset(); }
  static std::string File(const std::string& level) { return *Dir / (level + ".glb"); }
  static std::unique_ptr<testsupport::TTempDir> Dir;
};
std::unique_ptr<testsupport::TTempDir> ExportReal::Dir;

TEST_F(ExportReal, FileHoldsWhatInfoCountsAsDrawn) {
  for (const std::string& level : kLevels) {
    const testsupport::TGltfFile file = testsupport::ReadGltf(File(level));
    std::int64_t triangles = 0;
    for (const json& mesh : file.Json["meshes"])
      for (const json& primitive : mesh["primitives"])
        triangles += file.Json["accessors"][primitive["indices"].get<int>()]["count"].get<std::int64_t>() / 3;
    const testsupport::TRun info =
        testsupport::RunProgram(BSPWALK_PROGRAM, WithData({"--info", "--json", "--full", level}), Dir->Path());
    const json drawn = json::parse(info.Out)["Drawn"];
    EXPECT_EQ(triangles, drawn["Triangles"]) << level;
    EXPECT_EQ(file.Json["materials"].size(), drawn["Materials"]) << level;
    EXPECT_GT(triangles, 1000) << level;
  }
}

TEST_F(ExportReal, KhronosValidatorFindsNoErrorAndNoWarning) {
  if (const std::string missing = MissingWebTools(); !missing.empty()) GTEST_SKIP() << missing;
  std::vector<std::string> args{BSPWALK_WEB_DIR "/validate.mjs", BSPWALK_WEB_DIR "/node_modules"};
  for (const std::string& level : kLevels) args.push_back(File(level));
  const testsupport::TRun run = testsupport::RunProgram(BSPWALK_NODE, args);
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  const std::vector<std::string> lines = testsupport::Lines(run.Out);
  ASSERT_EQ(lines.size(), kLevels.size()) << run.Out;
  for (const std::string& line : lines) {
    const json report = json::parse(line);
    EXPECT_EQ(report["errors"], 0) << report.dump(1);
    EXPECT_EQ(report["warnings"], 0) << report.dump(1);
  }
}

// A pixel agrees when no channel differs by more than 16 of 255: texture filtering (mipmaps built
// by GLU's box filter and by WebGL, another choice of level), the edges of triangles rasterized by
// llvmpipe and SwiftShader, and rounding in 8-bit blending stay within that. What is left: the sky
// box, which the file does not hold (the page's background is black), additive surfaces, which
// glTF can only blend by alpha, and the shader stages beyond image and lightmap that bspwalk
// draws and a material cannot hold (oa_dm4's first view is mostly zinc walls that show an
// environment map through their image's alpha, over a floor with a detail texture).
double AgreeingPixels(const clitest::TPicture& a, const clitest::TPicture& b) {
  if (a.Width != b.Width || a.Height != b.Height || a.Rgb.empty()) return 0;
  std::size_t agreeing = 0;
  for (std::size_t i = 0; i < a.Rgb.size(); i += 3) {
    bool same = true;
    for (std::size_t k = 0; k < 3; ++k) same = same && std::abs(a.Rgb[i + k] - b.Rgb[i + k]) <= 16;
    agreeing += same;
  }
  return static_cast<double>(agreeing) / static_cast<double>(a.Rgb.size() / 3);
}

TEST_F(ExportReal, ThreeJsInChromiumDrawsWhatBspwalkDrawsFromASpawnPoint) {
  if (const std::string missing = MissingWebTools(); !missing.empty()) GTEST_SKIP() << missing;
  const std::pair<std::string, double> cases[] = {{"oa_dm4", 0.75}, {"kaos2", 0.90}};
  for (const auto& [level, least] : cases) {
    // The first spawn point, as the program poses it: eye height 26, yaw 90 - angle, level pitch.
    const json spawn = json::parse(testsupport::RunProgram(BSPWALK_PROGRAM, WithData({"--info", "--json", level})).Out)["Spawns"][0];
    std::ostringstream pose;
    pose << spawn["Origin"][0].get<double>() << "," << spawn["Origin"][1].get<double>() << ","
         << spawn["Origin"][2].get<double>() + 26 << "," << 90 - spawn["Angle"].get<double>() << ",270";
    const testsupport::TRun shot = testsupport::RunProgram(
        BSPWALK_PROGRAM, WithData({"--screenshot", level + ".png", "--full", "--light", "design", "--no-hud", "--size", "320x240", level}),
        Dir->Path());  // the export's lightmaps carry the design's light
    ASSERT_EQ(shot.ExitCode, 0) << shot.Err;
    const std::string url = "file://" BSPWALK_WEB_DIR "/view.html?size=320x240&pose=" + pose.str() + "&glb=file://" + File(level);
    const testsupport::TRun page = testsupport::RunProgram(
        BSPWALK_NODE, {BSPWALK_WEB_DIR "/render.mjs", BSPWALK_CHROMIUM, url, *Dir / (level + "-web.png")});
    ASSERT_EQ(page.ExitCode, 0) << page.Err;
    const double agreeing = AgreeingPixels(clitest::ReadPNG(*Dir / (level + ".png")), clitest::ReadPNG(*Dir / (level + "-web.png")));
    EXPECT_GE(agreeing, least) << level;
    std::printf("%s: %.1f %% of the pixels agree\n", level.c_str(), 100 * agreeing);
  }
}

}  // namespace
