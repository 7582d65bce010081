// --export on OpenArena's levels with --full: the file holds what --info counts as drawn, the
// Khronos glTF validator finds no error and no warning, and three.js in headless Chromium draws
// from a spawn point what bspwalk --screenshot draws there.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <numbers>
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
    // The level's faces: the world's and the brush models' nodes; the items and the sky are
    // nodes and materials of their own, which --info does not count.
    std::int64_t triangles = 0;
    std::size_t items = 0, levelMaterials = 0;
    for (const json& node : file.Json["nodes"]) {
      const std::string name = node["name"];
      items += node.contains("extras") && node["extras"].contains("entity");
      if (name != "world" && !name.starts_with("*")) continue;
      for (const json& primitive : file.Json["meshes"][node["mesh"].get<int>()]["primitives"])
        triangles += file.Json["accessors"][primitive["indices"].get<int>()]["count"].get<std::int64_t>() / 3;
    }
    for (const json& material : file.Json["materials"]) levelMaterials += !material.contains("extras") || !material["extras"].contains("surface");
    const testsupport::TRun info =
        testsupport::RunProgram(BSPWALK_PROGRAM, WithData({"--info", "--json", "--full", level}), Dir->Path());
    const json drawn = json::parse(info.Out)["Drawn"];
    EXPECT_EQ(triangles, drawn["Triangles"]) << level;
    EXPECT_EQ(levelMaterials, drawn["Materials"]) << level;
    EXPECT_GT(triangles, 1000) << level;
    EXPECT_GT(items, 10u) << level;
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
// llvmpipe and SwiftShader, and rounding in 8-bit blending stay within that. What is left for a
// plain glTF viewer (tests/web/view.html): the sky, additive surfaces, which glTF can only blend by
// alpha, and the shader stages beyond image and lightmap that bspwalk draws and a material cannot
// hold (oa_dm4's first view is mostly zinc walls that show an environment map through their
// image's alpha). The page draws the sky and those stages from the file's extras.
double AgreeingPixels(const testsupport::TPicture& a, const testsupport::TPicture& b) {
  if (a.Width != b.Width || a.Height != b.Height || a.Rgb.empty()) return 0;
  std::size_t agreeing = 0;
  for (std::size_t i = 0; i < a.Rgb.size(); i += 3) {
    bool same = true;
    for (std::size_t k = 0; k < 3; ++k) same = same && std::abs(a.Rgb[i + k] - b.Rgb[i + k]) <= 16;
    agreeing += same;
  }
  return static_cast<double>(agreeing) / static_cast<double>(a.Rgb.size() / 3);
}

// The first spawn point of the level, as the program poses it: eye height 26, yaw 90 - angle,
// level pitch.
std::string FirstSpawnPose(const std::string& level) {
  const json spawn = json::parse(testsupport::RunProgram(BSPWALK_PROGRAM, WithData({"--info", "--json", level})).Out)["Spawns"][0];
  std::ostringstream pose;
  pose << spawn["Origin"][0].get<double>() << "," << spawn["Origin"][1].get<double>() << ","
       << spawn["Origin"][2].get<double>() + 26 << "," << 90 - spawn["Angle"].get<double>() << ",270";
  return pose.str();
}

TEST_F(ExportReal, ThreeJsInChromiumDrawsWhatBspwalkDrawsFromASpawnPoint) {
  if (const std::string missing = MissingWebTools(); !missing.empty()) GTEST_SKIP() << missing;
  const std::pair<std::string, double> cases[] = {{"oa_dm4", 0.75}, {"kaos2", 0.90}};
  for (const auto& [level, least] : cases) {
    std::ostringstream pose;
    pose << FirstSpawnPose(level);
    const testsupport::TRun shot = testsupport::RunProgram(
        BSPWALK_PROGRAM, WithData({"--screenshot", level + ".png", "--full", "--light", "design", "--no-hud", "--size", "320x240", level}),
        Dir->Path());  // the export's lightmaps carry the design's light
    ASSERT_EQ(shot.ExitCode, 0) << shot.Err;
    const std::string url = "file://" BSPWALK_WEB_DIR "/view.html?size=320x240&pose=" + pose.str() + "&glb=file://" + File(level);
    const testsupport::TRun page = testsupport::RunProgram(
        BSPWALK_NODE, {BSPWALK_WEB_DIR "/render.mjs", BSPWALK_CHROMIUM, url, *Dir / (level + "-web.png")});
    ASSERT_EQ(page.ExitCode, 0) << page.Err;
    const double agreeing = AgreeingPixels(testsupport::ReadPNG(*Dir / (level + ".png")), testsupport::ReadPNG(*Dir / (level + "-web.png")));
    EXPECT_GE(agreeing, least) << level;
    std::printf("%s: %.1f %% of the pixels agree\n", level.c_str(), 100 * agreeing);
  }
}

// The page of --export FILE.html, opened from disk in headless Chromium: its first frame, its
// console, and the pose line after W is held (tests/web/page.mjs).
json OpenPage(const std::string& page, const std::string& fragment, const std::string& picture, int holdMs) {
  const testsupport::TRun run = testsupport::RunProgram(
      BSPWALK_NODE, {BSPWALK_WEB_DIR "/page.mjs", BSPWALK_CHROMIUM, "file://" + page + "#" + fragment, picture,
                     std::to_string(holdMs)});
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  return run.ExitCode == 0 ? json::parse(run.Out) : json();
}

std::vector<double> PoseOf(const std::string& line) {
  std::vector<double> values;
  std::istringstream text(line.substr(line.find('=') + 1));
  for (std::string value; std::getline(text, value, ',');) values.push_back(std::stod(value));
  return values;
}

TEST_F(ExportReal, PageFromDiskDrawsWhatBspwalkDrawsAtItsPoseLine) {
  if (const std::string missing = MissingWebTools(); !missing.empty()) GTEST_SKIP() << missing;
  const std::pair<std::string, double> cases[] = {{"oa_dm4", 0.90}, {"kaos2", 0.90}};
  for (const auto& [level, least] : cases) {
    const std::string pose = FirstSpawnPose(level);
    const testsupport::TRun page =
        testsupport::RunProgram(BSPWALK_PROGRAM, WithData({"--export", level + ".html", "--full", level}), Dir->Path());
    ASSERT_EQ(page.ExitCode, 0) << page.Err;
    const testsupport::TRun shot = testsupport::RunProgram(
        BSPWALK_PROGRAM, WithData({"--screenshot", level + "-off.png", "--full", "--fast=off", "--light", "design", "--no-hud", "--size",
                                   "320x240", "--camera=" + pose, level}), Dir->Path());
    ASSERT_EQ(shot.ExitCode, 0) << shot.Err;
    const json opened = OpenPage(*Dir / (level + ".html"), "size=320x240&pose=" + pose, *Dir / (level + "-page.png"), 0);
    EXPECT_EQ(opened["errors"], json::array()) << level;
    const double agreeing =
        AgreeingPixels(testsupport::ReadPNG(*Dir / (level + "-off.png")), testsupport::ReadPNG(*Dir / (level + "-page.png")));
    EXPECT_GE(agreeing, least) << level;
    std::printf("%s page: %.1f %% of the pixels agree; first frame %.0f ms after opening\n", level.c_str(),
                100 * agreeing, opened["firstFrameMs"].get<double>());
  }
}

TEST_F(ExportReal, HeldWMovesThePageAlongTheView) {
  if (const std::string missing = MissingWebTools(); !missing.empty()) GTEST_SKIP() << missing;
  const testsupport::TRun page =
      testsupport::RunProgram(BSPWALK_PROGRAM, WithData({"--export", "fly.html", "oa_dm4"}), Dir->Path());
  ASSERT_EQ(page.ExitCode, 0) << page.Err;
  const json opened = OpenPage(*Dir / "fly.html", "size=320x240", *Dir / "fly.png", 1000);
  EXPECT_EQ(opened["errors"], json::array());
  // The page starts where the program does; a second of W at 150 units a second, level, goes
  // along the view (fewer frames than asked slow it, never more than the time held).
  EXPECT_EQ(opened["before"], "--camera=" + FirstSpawnPose("oa_dm4"));
  const std::vector<double> before = PoseOf(opened["before"]), after = PoseOf(opened["after"]);
  ASSERT_EQ(before.size(), 5u);
  ASSERT_EQ(after.size(), 5u);
  const double yaw = before[3] * std::numbers::pi / 180, dx = after[0] - before[0], dy = after[1] - before[1];
  const double ahead = dx * std::sin(yaw) + dy * std::cos(yaw), aside = dx * std::cos(yaw) - dy * std::sin(yaw);
  EXPECT_GT(ahead, 50);
  EXPECT_LT(ahead, 150 * 3);
  EXPECT_NEAR(aside, 0, 0.5);
  EXPECT_EQ(after[2], before[2]);
  EXPECT_EQ(after[3], before[3]);
  EXPECT_EQ(after[4], before[4]);
}

TEST_F(ExportReal, PageWithoutThreeJsSaysHowToInstallItAndWritesNothing) {
  std::vector<std::string> args = WithData({"--export", "none.html", "oa_dm4"});
  args.insert(args.begin(), {"BSPWALK_THREE=/nowhere", BSPWALK_PROGRAM});
  const testsupport::TRun run = testsupport::RunProgram("/usr/bin/env", args, Dir->Path());
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(run.Err, "bspwalk: three.js is not installed: /nowhere/build/three.core.js cannot be read "
                     "(scripts/install-web-tools installs it; BSPWALK_THREE names another copy of the npm "
                     "package three)\n");
  EXPECT_FALSE(fs::exists(*Dir / "none.html"));
}

std::string ReadText(const fs::path& path) {
  const std::vector<std::uint8_t> bytes = testsupport::ReadFile(path);
  return std::string(bytes.begin(), bytes.end());
}

TEST_F(ExportReal, GalleryOfThreeLevelsLinksEveryPageAndListsTheLevelThatFails) {
  if (const std::string missing = MissingWebTools(); !missing.empty()) GTEST_SKIP() << missing;
  const std::vector<std::string> levels = {"ctf_inyard", "kaos2", "oa_dm4"};
  std::vector<std::string> members;
  for (const std::string& level : levels) members.push_back("maps/" + level + ".bsp");
  // The extraction folder is shared with other tests' levels: the gallery's data holds these only.
  const std::string extracted = testsupport::ExtractOpenArena("pak1-maps.pk3", members);
  const testsupport::TTempDir data;
  fs::create_directories(data / "maps");
  for (const std::string& member : members) fs::copy_file(fs::path(extracted) / member, data / member);
  testsupport::WriteFile(data / "maps/broken.bsp", {'I', 'B', 'S', 'P'});
  const testsupport::TRun run = testsupport::RunProgram(
      BSPWALK_PROGRAM, {"--gallery", "gallery", "--data", data.Path(), "--full"}, Dir->Path());
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Err, "bspwalk: --gallery: 1 of 4 levels failed:\n  broken: maps/broken.bsp: not a BSP file (4 "
                     "bytes, shorter than the header and lump directory)\n");
  const std::vector<std::string> lines = testsupport::Lines(run.Out);
  ASSERT_EQ(lines.size(), 5u) << run.Out;
  EXPECT_TRUE(lines[0].starts_with("level 1 of 4: maps/broken.bsp: failed: ")) << lines[0];
  const std::string index = ReadText(*Dir / "gallery/index.html");
  for (std::size_t i = 0; i < levels.size(); ++i) {
    EXPECT_TRUE(lines[i + 1].starts_with("level " + std::to_string(i + 2) + " of 4: maps/" + levels[i] + ".bsp, "))
        << lines[i + 1];
    EXPECT_NE(index.find("<a href=\"" + levels[i] + ".html\">" + levels[i] + "</a>"), std::string::npos) << levels[i];
    EXPECT_NE(index.find("<img src=\"" + levels[i] + ".png\""), std::string::npos) << levels[i];
    EXPECT_TRUE(ReadText(*Dir / ("gallery/" + levels[i] + ".html")).starts_with("<!doctype html>\n<!-- bspwalk page:"));
  }
  EXPECT_NE(index.find("<li>broken: maps/broken.bsp: not a BSP file"), std::string::npos);
}

}  // namespace
