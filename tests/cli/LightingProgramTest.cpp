// --external-lightmaps, --vertex-light and version 47 through the real program: an OpenArena level
// whose lightmaps are moved to files draws as it did (as a level file beside its folder, and as a
// level of the game data in an archive), the vertex-lit cbctf1 of pak1-maps.pk3 is no longer drawn
// unlit, --info says where the lightmaps come from, and version 47 headers.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "support/BspWriter.h"
#include "support/Gltf.h"
#include "support/LightmapFileWriter.h"
#include "support/Picture.h"
#include "support/Program.h"
#include "support/TestSupport.h"
#include "support/ZipWriter.h"

namespace fs = std::filesystem;
using json = nlohmann::json;
using testsupport::TBytes;
using testsupport::TRun;

namespace {

TRun RunProgram(const std::vector<std::string>& args, const std::string& workingDir) {
  return testsupport::RunProgram(BSPWALK_PROGRAM, args, workingDir);
}

// The largest difference of any channel of two pictures of one size.
int LargestDifference(const testsupport::TPicture& a, const testsupport::TPicture& b) {
  if (a.Width != b.Width || a.Height != b.Height || a.Rgb.empty()) return 256;
  int largest = 0;
  for (std::size_t i = 0; i < a.Rgb.size(); ++i) largest = std::max(largest, std::abs(a.Rgb[i] - b.Rgb[i]));
  return largest;
}

// The export's first lightmap atlas, as a picture.
testsupport::TPicture ExportedAtlas(const std::string& dir, const std::string& name, std::vector<std::string> args) {
  args.insert(args.begin(), {"--export", name});
  const TRun run = RunProgram(args, dir);
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  const testsupport::TGltfFile gltf = testsupport::ReadGltf(dir + "/" + name);
  for (int i = 0; i < static_cast<int>(gltf.Json["images"].size()); ++i)
    if (gltf.Json["images"][i]["name"] == "lightmap atlas 0") testsupport::WriteFile(dir + "/" + name + ".png", gltf.ImageBytes(i));
  return testsupport::ReadPNG(dir + "/" + name + ".png");
}

double MeanBrightness(const testsupport::TPicture& picture) {
  double sum = 0;
  for (const std::uint8_t value : picture.Rgb) sum += value;
  return picture.Rgb.empty() ? 0 : sum / static_cast<double>(picture.Rgb.size());
}

TEST(ExternalLightmaps, AnOpenArenaLevelLitByFilesDrawsAsLitByItsLump) {
  testsupport::TTempDir dir;
  const std::string maps = testsupport::ExtractOpenArena("pak1-maps.pk3", {"maps/oa_dm4.bsp"}) + "/maps";
  const TBytes level = testsupport::ReadFile(maps + "/oa_dm4.bsp");
  fs::create_directories(dir / "maps");
  testsupport::WriteFile(dir / "maps/oa_dm4.bsp", level);
  testsupport::WriteFile(dir / "maps/ext.bsp", testsupport::MoveLightmapsToFiles(level, dir / "maps/ext", ".tga"));
  // The same with PNG files, as a level of the game data: in an archive, the files beside it.
  testsupport::TTempDir built;
  const TBytes emptied = testsupport::MoveLightmapsToFiles(level, built / "maps/lit", ".png");
  std::vector<std::pair<std::string, std::string>> entries = {{"maps/lit.bsp", std::string(emptied.begin(), emptied.end())}};
  for (const auto& file : fs::directory_iterator(built / "maps/lit")) {
    const TBytes bytes = testsupport::ReadFile(file.path().string());
    entries.emplace_back("maps/lit/" + file.path().filename().string(), std::string(bytes.begin(), bytes.end()));
  }
  fs::create_directories(dir / "data");
  testsupport::WriteZip(dir / "data/lit.pk3", entries);

  const std::vector<std::string> shot = {"--size", "320x200", "--no-hud", "--screenshot"};
  const auto screenshot = [&](const std::string& name, std::vector<std::string> more) {
    std::vector<std::string> args = shot;
    args.push_back(name);
    args.insert(args.end(), more.begin(), more.end());
    const TRun run = RunProgram(args, dir.Path());
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(run.Err, "");
    return testsupport::ReadPNG(dir / name);
  };
  const testsupport::TPicture lump = screenshot("lump.png", {"maps/oa_dm4.bsp"});
  EXPECT_LE(LargestDifference(lump, screenshot("tga.png", {"--external-lightmaps", "maps/ext.bsp"})), 1);
  EXPECT_LE(LargestDifference(lump, screenshot("png.png", {"--data", dir / "data", "--external-lightmaps", "lit"})), 1);
  // Without the option the level has no lightmap at all.
  EXPECT_GT(LargestDifference(lump, screenshot("unlit.png", {"maps/ext.bsp"})), 50);
  // The export's atlas holds the files' lightmaps as the lump's, brightened alike.
  const testsupport::TPicture atlas = ExportedAtlas(dir.Path(), "lump.glb", {"maps/oa_dm4.bsp"});
  EXPECT_EQ(atlas.Width, 1024);
  EXPECT_EQ(LargestDifference(atlas, ExportedAtlas(dir.Path(), "files.glb", {"--external-lightmaps", "maps/ext.bsp"})), 0);

  TRun run = RunProgram({"--info", "--external-lightmaps", "maps/ext.bsp"}, dir.Path());
  EXPECT_NE(run.Out.find("\nLightmaps       32 from files maps/ext/lm_0000.tga to lm_0031.tga, 128 x 128\n"),
            std::string::npos) << run.Out;
  run = RunProgram({"--info", "--json", "--external-lightmaps", "--data", dir / "data", "lit"}, dir.Path());
  const json info = json::parse(run.Out);
  EXPECT_EQ(info["LightmapCount"], 32);
  EXPECT_EQ(info["LightmapSource"], "files");
  EXPECT_EQ(info["LightmapSize"], json::parse("[128, 128]"));
  EXPECT_EQ(info["LightmapFiles"][31], json::parse(R"({"Name": "maps/lit/lm_0031.png", "Width": 128, "Height": 128})"));
  run = RunProgram({"--info", "--external-lightmaps", "maps/oa_dm4.bsp"}, dir.Path());
  EXPECT_NE(run.Out.find("\nLightmaps       32 from the lump, 128 x 128\n"), std::string::npos) << run.Out;
  // Without the option: not a word more than before.
  run = RunProgram({"--info", "--json", "maps/ext.bsp"}, dir.Path());
  EXPECT_EQ(json::parse(run.Out)["LightmapCount"], 0);
  EXPECT_FALSE(json::parse(run.Out).contains("LightmapSource"));
}

// pak1-maps.pk3 holds cbctf1 lit by its vertices alone (a later patch archive replaces it with a
// lightmapped one). At its first spawn point the plain frame shows the surface images as they are
// (mean 199 of 255); the vertex pass brightens them by the lightmap rule (mean 241, close to the
// lightmapped version's 231 at the same view).
TEST(VertexLight, TheVertexLitCbctf1IsNoLongerDrawnUnlit) {
  const std::string baseoa = fs::path(testsupport::OpenArenaArchive("pak0.pk3")).parent_path().string();
  const std::string maps = testsupport::ExtractOpenArena("pak1-maps.pk3", {"maps/cbctf1.bsp"}) + "/maps";
  testsupport::TTempDir dir;
  const auto mean = [&](const std::string& name, const std::vector<std::string>& more) {
    std::vector<std::string> args = {"--size", "480x300", "--no-hud", "--data", baseoa, "--screenshot", name};
    args.insert(args.end(), more.begin(), more.end());
    args.push_back(maps + "/cbctf1.bsp");
    const TRun run = RunProgram(args, dir.Path());
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    return MeanBrightness(testsupport::ReadPNG(dir / name));
  };
  const double unlit = mean("plain.png", {});
  const double lit = mean("lit.png", {"--vertex-light"});
  EXPECT_NEAR(unlit, 199, 10);
  EXPECT_GT(lit - unlit, 30) << unlit << " " << lit;
  // Exported, the faces the pass draws carry its colours: bytes, brightened (80 at least).
  const TRun run = RunProgram({"--export", "lit.glb", "--vertex-light", maps + "/cbctf1.bsp"}, dir.Path());
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  const testsupport::TGltfFile gltf = testsupport::ReadGltf(dir / "lit.glb");
  std::size_t coloured = 0;
  for (const json& primitive : gltf.Json["meshes"][0]["primitives"]) {
    if (!primitive["attributes"].contains("COLOR_0")) continue;
    const json& colours = gltf.Json["accessors"][primitive["attributes"]["COLOR_0"].get<int>()];
    EXPECT_TRUE(colours["normalized"] == true && colours["componentType"] == 5121 && colours["type"] == "VEC4");
    EXPECT_EQ(colours["count"], gltf.Json["accessors"][primitive["attributes"]["POSITION"].get<int>()]["count"]);
    const json& view = gltf.Json["bufferViews"][colours["bufferView"].get<int>()];
    const auto first = gltf.Buffer.begin() + view.value("byteOffset", std::ptrdiff_t{0});
    EXPECT_GE(*std::min_element(first, first + view["byteLength"].get<std::ptrdiff_t>()), 80);
    coloured += colours["count"].get<std::size_t>();
  }
  EXPECT_GT(coloured, 1000u);
}

TEST(LevelVersion, FortySevenReadsAsFortySixWhenItsRecordsMatch) {
  testsupport::TTempDir dir;
  testsupport::TBspWriter w = testsupport::TBspWriter::SmallLevel();
  w.Header.Version = 47;
  w.WriteTo(dir / "maps/v47.bsp");
  TRun run = RunProgram({"--info", "maps/v47.bsp"}, dir.Path());
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Err, "");
  EXPECT_NE(run.Out.find("Header          ID IBSP, version 47\n"), std::string::npos) << run.Out;
  // Records of another size: another format, read all the same after today's warning.
  w.Trailer.assign(8, 0);
  w.Bytes();
  w.SetLumpLength(kVertices, w.Directory()[kVertices].Length + 4);
  w.WriteTo(dir / "maps/other.bsp");
  run = RunProgram({"--info", "maps/other.bsp"}, dir.Path());
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Err, "bspwalk: warning: maps/other.bsp: header 'IBSP' version 47 is not Quake 3's "
                     "'IBSP' version 46; reading it all the same\n");
}

}  // namespace

namespace {

// The mean of all channels over a box of the picture (x0, y0 from the top left, to x1, y1).
double RegionMean(const testsupport::TPicture& p, int x0, int y0, int x1, int y1) {
  double sum = 0;
  int n = 0;
  for (int y = y0; y < y1 && y < p.Height; ++y)
    for (int x = x0; x < x1 && x < p.Width; ++x, ++n)
      for (const int c : p.At(x, y)) sum += c;
  return n ? sum / (3.0 * n) : 0;
}

}  // namespace

// islandctf's sky at 512 x 384 with --sky-in-view and without: the tropical sky of the faces in view
// (mean grey 145 over the top half) where the first sky shader's starfield was (8). With --full,
// pul1duel-oa's health item by its stages: the cross environment-mapped and its shell added (99
// around it, where its one image lit by the grid gave 47).
TEST(GamePicture, TheSkyInViewAndAModelByItsStages) {
  const std::string pak = testsupport::OpenArenaArchive("pak0.pk3");
  if (pak.empty() || !fs::exists(pak)) GTEST_SKIP() << "OpenArena's data is not installed";
  const std::string baseoa = fs::path(pak).parent_path().string();
  testsupport::TTempDir dir;
  const auto mean = [&](std::vector<std::string> args, const char* camera, const char* level, std::array<int, 4> box) {
    args.insert(args.end(), {"--no-hud", "--size", "512x384", "--data", baseoa, camera, "--screenshot", "shot.png", level});
    const TRun run = RunProgram(args, dir.Path());
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    return RegionMean(testsupport::ReadPNG(dir / "shot.png"), box[0], box[1], box[2], box[3]);
  };
  const std::vector<std::string> sky = {"--shaders", "--surfaces", "all", "--joined-sky"};
  std::vector<std::string> inView = sky;
  inView.push_back("--sky-in-view");
  const char* island = "--camera=463,16,706,90,270";
  EXPECT_NEAR(mean(sky, island, "islandctf", {0, 0, 512, 200}), 8, 5);
  EXPECT_NEAR(mean(inView, island, "islandctf", {0, 0, 512, 200}), 145, 10);
  EXPECT_NEAR(mean({"--full"}, "--camera=912,-160,242,291,270", "pul1duel-oa", {370, 265, 420, 325}), 99, 10);
}
