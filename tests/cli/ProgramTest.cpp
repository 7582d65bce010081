// The command line through the real program: each option as a person would try it, on synthetic
// levels whose every count is known and on a real OpenArena level checked against the level that
// LoadBSP builds in this process.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>

#include "app/viewer/KeyTable.h"
#include "gl/OpenGL.h"
#include "level/LevelFile.h"
#include "level/Q3BSP.h"
#include "level/SpawnPoints.h"
#include "render/Q3BSP_render.h"
#include "render/RenderCache.h"
#include "support/BspWriter.h"
#include "support/Picture.h"
#include "support/Program.h"
#include "support/TestSupport.h"
#include "window/OffscreenContext.h"

namespace fs = std::filesystem;
using testsupport::ReadPNG;
using testsupport::TPicture;
using nlohmann::json;
using testsupport::Lines;
using testsupport::TBspWriter;
using testsupport::TRun;

namespace {

// The program built beside the tests, run to its end in `workingDir` (the test's own when empty).
TRun RunProgram(const std::vector<std::string>& args, const std::string& workingDir = "") {
  return testsupport::RunProgram(BSPWALK_PROGRAM, args, workingDir);
}

// One line on standard error, nothing on standard output.
void ExpectOneLineError(const TRun& run, int exitCode, const std::string& named) {
  EXPECT_EQ(run.ExitCode, exitCode) << run.Err;
  EXPECT_EQ(run.Out, "");
  ASSERT_EQ(Lines(run.Err).size(), 1u) << run.Err;
  EXPECT_NE(run.Err.find(named), std::string::npos) << run.Err;
}

std::size_t DistinctColours(const TPicture& picture) {
  std::set<std::uint32_t> colours;
  for (std::size_t i = 0; i + 2 < picture.Rgb.size(); i += 3)
    colours.insert(picture.Rgb[i] << 16 | picture.Rgb[i + 1] << 8 | picture.Rgb[i + 2]);
  return colours.size();
}

// A level for the visibility queries: plane x = 0 splits leaf 0 (front, cluster 0, face 0) from
// leaf 1 (back, cluster 1, faces 1 and 2). Cluster 0 sees only itself; cluster 1 sees both.
// Face 1 names no texture record (no texture group: marked, never counted); face 2 is a patch
// (counted, never drawn).
TBspWriter TwoClusterLevel() {
  TBspWriter w;
  w.Textures = {TBspWriter::Texture("tex/a")};
  w.Vertices = {TBspWriter::Vertex(0, 0, 0), TBspWriter::Vertex(1, 0, 0), TBspWriter::Vertex(1, 1, 0)};
  w.Faces = {TBspWriter::Face(0, 0, 3, -1), TBspWriter::Face(5, 0, 3, -1),
             TBspWriter::Face(0, 0, 3, -1, 2)};
  w.Planes = {TBSPPlane{{1, 0, 0}, 0}};
  w.Nodes = {TBspWriter::Node(0, -1, -2)};
  w.Leaves = {TBspWriter::Leaf(0, 0, 1), TBspWriter::Leaf(1, 1, 2)};
  w.LeafFaces = {0, 1, 2};
  w.VisData = TBSPVisData{2, 1, {0x01, 0x03}};
  return w;
}

TEST(Program, HelpVersionAndUsageErrors) {
  TRun run = RunProgram({"--help"});
  EXPECT_EQ(run.ExitCode, 0);
  for (const char* option : {"--base", "--windowed", "--size", "--camera", "--screenshot",
                             "--frames", "--info", "--at", "--benchmark", "--json", "--verbose",
                             "--version", "LEVEL"})
    EXPECT_NE(run.Out.find(option), std::string::npos) << option;
  EXPECT_EQ(run.Err, "");

  run = RunProgram({"--version"});
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Out, "bspwalk " BSPWALK_VERSION "\n");

  ExpectOneLineError(RunProgram({"--bogus"}), 2, "--bogus");
  ExpectOneLineError(RunProgram({"--info", "--at", "1,2,3"}), 2, "cannot be combined");
  ExpectOneLineError(RunProgram({"--camera", "1,2,3"}), 2, "--camera");
  ExpectOneLineError(RunProgram({"--at", "1,2,z", "x.bsp"}), 2, "'z' is not a number");
  ExpectOneLineError(RunProgram({"--benchmark", "--frames", "-3"}), 2, "--frames");
  ExpectOneLineError(RunProgram({"--info", "--base", "/nonexistent/folder", "x.bsp"}), 2,
                     "--base /nonexistent/folder");
}

// The key table reaches --help, and through help2man (as the build runs it) the man page, whose
// sections the help's closing headings become.
TEST(Program, HelpAndManPageListEveryKeyWithTheirSections) {
  const TRun help = RunProgram({"--help"});
  ASSERT_EQ(help.ExitCode, 0);
  for (const std::string& line : app::KeyLines("  ", 30))
    EXPECT_NE(help.Out.find("\n" + line + "\n"), std::string::npos) << line;
  for (const char* text : {"a level of the game data", "BSPWALK_DATA", "\n  $ bspwalk --data "})
    EXPECT_NE(help.Out.find(text), std::string::npos) << text;
  testsupport::TTempDir dir;
  const std::string man = dir / "bspwalk.1";
  ASSERT_EQ(std::system(("help2man --no-info --name=x --output=" + man + " " BSPWALK_PROGRAM).c_str()), 0);
  const std::vector<std::uint8_t> bytes = testsupport::ReadFile(man);
  const std::string page(bytes.begin(), bytes.end());
  for (const char* text : {".SH KEYS\n.TP\nW, S\n", "\n.TP\nH\nthis key reference, on or off\n",
                           ".SH \"EXIT STATUS\"\n.TP\n0\n", "\n.TP\n2\na usage error",
                           ".SH ENVIRONMENT\n.TP\nBSPWALK_DATA\n", ".SH EXAMPLES\n"})
    EXPECT_NE(page.find(text), std::string::npos) << text;
}

TEST(Program, LoadFailuresExitOneWithOneLineAndWriteNothing) {
  testsupport::TTempDir dir;
  fs::create_directory(dir / "lgmp");
  testsupport::WriteFile(dir / "notes.bsp", std::vector<std::uint8_t>(300, 'a'));
  testsupport::WriteFile(dir / "tiny.bsp", {'I', 'B', 'S', 'P', 46, 0, 0, 0});
  std::vector<std::uint8_t> cut = TBspWriter::SmallLevel().Bytes();
  cut.resize(cut.size() - 100);  // the lightmap lump now ends past the file
  testsupport::WriteFile(dir / "cut.bsp", cut);
  TBspWriter hostile = TBspWriter::SmallLevel();
  hostile.LeafFaces = {7};  // a face that does not exist
  hostile.WriteTo(dir / "hostile.bsp");

  const std::vector<std::vector<std::string>> modes = {
      {"--info"}, {"--info", "--json"}, {"--at", "1,2,3"}, {"--screenshot", "shot.png"},
      {"--benchmark", "--frames", "2", "--size", "64x48"}};
  for (const auto& mode : modes) {
    SCOPED_TRACE(mode.front());
    for (const auto& [level, named] :
         std::vector<std::pair<std::string, std::string>>{{"missing.bsp", "missing.bsp: no such level file"},
                                                          {"notes.bsp", "not a BSP file"},
                                                          {"tiny.bsp", "shorter than the header"},
                                                          {"cut.bsp", "lies outside the file"},
                                                          {"hostile.bsp", "hostile.bsp"}}) {
      SCOPED_TRACE(level);
      std::vector<std::string> args = mode;
      args.push_back(level);
      ExpectOneLineError(RunProgram(args, dir.Path()), 1, named);
    }
  }
  std::set<std::string> left;
  for (const auto& entry : fs::directory_iterator(dir.Path())) left.insert(entry.path().filename());
  EXPECT_EQ(left, (std::set<std::string>{"lgmp", "notes.bsp", "tiny.bsp", "cut.bsp", "hostile.bsp"}));
  EXPECT_TRUE(fs::is_empty(dir / "lgmp"));
}

TEST(Program, InfoOnASyntheticLevelReportsWhatWasWritten) {
  testsupport::TTempDir dir;
  TBspWriter w = TBspWriter::SmallLevel("tex/jpg");
  w.Textures = {TBspWriter::Texture("tex/jpg"), TBspWriter::Texture("tex/both"),
                TBspWriter::Texture("tex/none")};
  w.Faces.push_back(TBspWriter::Face(1, 0, 4, -1, 2));
  w.Faces.push_back(TBspWriter::Face(1, 0, 4, -1, 3));
  w.Faces.push_back(TBspWriter::Face(9, 0, 4, -1, 4));
  w.Faces.push_back(TBspWriter::Face(0, 0, 4, -1, 7));
  w.Lightmaps.push_back(TBspWriter::Lightmap(1, 2, 3));
  w.VisData = TBSPVisData{3, 1, {0x07, 0x03, 0xff}};  // 3 + 2 + 3 of 9 pairs; bits past 3 ignored
  w.Entities = "{\"classname\" \"worldspawn\"}{\"classname\" \"info_player_deathmatch\" \"origin\" \"1 2 3\"}";
  w.WriteTo(dir / "maps/small.bsp");
  fs::create_directory(dir / "tex");
  testsupport::WriteFile(dir / "tex/jpg.jpg", {});
  testsupport::WriteFile(dir / "tex/both.jpg", {});
  testsupport::WriteFile(dir / "tex/both.tga", {});

  TRun run = RunProgram({"--info", "--json", "maps\\small.bsp"}, dir.Path());
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Err, "");
  const json info = json::parse(run.Out);
  EXPECT_EQ(info["ID"], "IBSP");
  EXPECT_EQ(info["Version"], 46);
  EXPECT_EQ(info["FileSize"], w.Bytes().size());
  EXPECT_EQ(info["VertexCount"], 4);
  EXPECT_EQ(info["FaceCount"], 5);
  EXPECT_EQ(info["TextureCount"], 3);
  EXPECT_EQ(info["LightmapCount"], 2);
  EXPECT_EQ(info["NodeCount"], 1);
  EXPECT_EQ(info["LeafCount"], 2);
  EXPECT_EQ(info["LeafFaceCount"], 1);
  EXPECT_EQ(info["PlaneCount"], 1);
  EXPECT_EQ(info["MeshVertexCount"], 6);
  EXPECT_EQ(info["ClusterCount"], 3);
  EXPECT_EQ(info["BytesPerCluster"], 1);
  EXPECT_EQ(info["VisiblePairs"], 8);
  EXPECT_NEAR(info["PVSDensity"].get<double>(), 8.0 / 9, 1e-6);
  EXPECT_EQ(info["SpawnPoints"], 1);
  EXPECT_EQ(info["FacesByType"],
            json({{"Polygon", 1}, {"Patch", 1}, {"Mesh", 1}, {"Billboard", 1}, {"Other", 1}}));
  EXPECT_EQ(info["Textures"],
            json::parse(R"([{"Name": "tex/jpg", "Image": ".jpg", "FaceCount": 2},
                            {"Name": "tex/both", "Image": ".tga", "FaceCount": 2},
                            {"Name": "tex/none", "Image": null, "FaceCount": 0}])"));

  // The text form says the same for a person.
  run = RunProgram({"--info", "maps/small.bsp"}, dir.Path());
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  for (const char* line : {"FaceCount       5", "LightmapCount   2",
                           "1 polygon, 1 patch, 1 mesh, 1 billboard, 1 other",
                           "PVS density 88.9 % (8 of 9 cluster pairs visible)", "tex/none"})
    EXPECT_NE(run.Out.find(line), std::string::npos) << line << "\n" << run.Out;

  // --base: images looked up there, the level named from where the program was started.
  testsupport::TTempDir elsewhere;
  run = RunProgram({"--info", "--json", "--base", dir.Path(), dir / "maps/small.bsp"}, elsewhere.Path());
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(json::parse(run.Out)["Textures"][1]["Image"], ".tga");
  run = RunProgram({"--info", "--json", dir / "maps/small.bsp"}, elsewhere.Path());
  EXPECT_EQ(json::parse(run.Out)["Textures"][1]["Image"], nullptr);

  // Visibility data claiming two billion clusters of no bytes: nothing to count, at once.
  w.VisData = TBSPVisData{2147483647, 0, {}};
  w.WriteTo(dir / "maps/hollow.bsp");
  run = RunProgram({"--info", "--json", "maps/hollow.bsp"}, dir.Path());
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(json::parse(run.Out)["ClusterCount"], 2147483647);
  EXPECT_EQ(json::parse(run.Out)["VisiblePairs"], 0);

  // A header other than Quake 3's is read all the same, after a warning.
  w.Header = TBSPHeader{{'R', 'B', 'S', 'P'}, 1};
  w.WriteTo(dir / "maps/other.bsp");
  run = RunProgram({"--info", "--json", "maps/other.bsp"}, dir.Path());
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(json::parse(run.Out)["FaceCount"], 5);
  EXPECT_EQ(run.Err, "bspwalk: warning: maps/other.bsp: header 'RBSP' version 1 is not Quake 3's "
                     "'IBSP' version 46; reading it all the same\n");
}

TEST(Program, AtFollowsTheTreeAndCountsAsAFrameWould) {
  testsupport::TTempDir dir;
  TwoClusterLevel().WriteTo(dir / "two.bsp");
  const TRun run = RunProgram({"--at", "5,0,0", "--at=-5,0,0", "--at", "0,0,0", "--at", "-0,1,1",
                               "--at", "nan,0,0", "--at", "inf,0,0", "--at=-inf,0,0",
                               "--at", "-1e-46,0,0", "--at=-1e-45,0,0", "two.bsp", "--json"},
                              dir.Path());
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Err, "");
  const json front = json::parse(R"({"Leaf": 0, "Cluster": 0, "MarkedFaces": 1, "VisibleFaceCount": 1})");
  const json back = json::parse(R"({"Leaf": 1, "Cluster": 1, "MarkedFaces": 3, "VisibleFaceCount": 2})");
  // On the plane (also -0 and a value that rounds to -0 as a float) is in front; NaN goes back.
  const std::vector<json> sides{front, back, front, front, back, front, back, front, back};
  // JSON Lines: each line one object, the four counts in order, then the position asked
  // (shortest float text; null for what JSON has no number for).
  const std::vector<std::string> positions{"[5.0,0.0,0.0]", "[-5.0,0.0,0.0]", "[0.0,0.0,0.0]",
                                           "[-0.0,1.0,1.0]", "[null,0.0,0.0]", "[null,0.0,0.0]",
                                           "[null,0.0,0.0]", "[-0.0,0.0,0.0]", "[-1e-45,0.0,0.0]"};
  const std::vector<std::string> lines = Lines(run.Out);
  ASSERT_EQ(lines.size(), sides.size()) << run.Out;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const json at = json::parse(lines[i], nullptr, false);
    ASSERT_TRUE(at.is_object()) << lines[i];
    json counts = at;
    counts.erase("Position");
    EXPECT_EQ(counts, sides[i]) << lines[i];
    EXPECT_EQ(at["Position"].dump(), positions[i]) << lines[i];
    const nlohmann::ordered_json inOrder = nlohmann::ordered_json::parse(lines[i]);
    std::vector<std::string> keys;
    for (const auto& item : inOrder.items()) keys.push_back(item.key());
    EXPECT_EQ(keys, (std::vector<std::string>{"Leaf", "Cluster", "MarkedFaces", "VisibleFaceCount",
                                              "Position"}));
  }

  const TRun text = RunProgram({"--at=-5,0.5,1e3", "two.bsp", "--verbose"}, dir.Path());
  EXPECT_EQ(text.Out, "-5 0.5 1000: leaf 1, cluster 1, 3 faces marked, VisibleFaceCount 2\n");
  EXPECT_EQ(text.Err.rfind("bspwalk: level read and checked in ", 0), 0u) << text.Err;
}

// ---- A real level, loaded here by LoadBSP and compared with what the program says. ----

class RealLevel : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const std::string root = testsupport::ExtractOpenArena("pak1-maps.pk3", {"maps/oa_dm1.bsp"});
    Source = root + "/maps/oa_dm1.bsp";
  }
  static std::string Source;

  // A base folder with the level in maps/ and the lgmp/ folder the loader writes into; with
  // `images`, also the surface images the level names that the game's archives hold.
  struct TBase {
    testsupport::TTempDir Dir;
    explicit TBase(bool images = false) {
      fs::create_directories(Dir / "maps");
      fs::create_directories(Dir / "lgmp");
      fs::copy_file(Source, Dir / "maps/oa_dm1.bsp");
      if (images) testsupport::InstallOpenArenaImages(TLevelFile(Source).TextureNames(), Dir.Path());
    }
  };
};
std::string RealLevel::Source;

TEST_F(RealLevel, InfoAndAtAgreeWithTheLoadedLevel) {
  TBase base(true);
  // The level as the viewer has it: LoadBSP with a GL context, then frames rendered from each
  // position; the program must report the same counts without any GL.
  platform::TOffscreenGLContext context(64, 64);
  LoadOpenGL("opengl32.dll");
  TQuake3BSP level;
  TRenderCache cache;
  {
    testsupport::TMessageCapture quiet;
    testsupport::TScopedWorkingDir inBase(base.Dir.Path());
    ASSERT_TRUE(level.LoadBSP("maps\\oa_dm1.bsp"));
  }

  TRun run = RunProgram({"--info", "--json", "maps/oa_dm1.bsp"}, base.Dir.Path());
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  const json info = json::parse(run.Out);
  EXPECT_EQ(info["VertexCount"], level.VertexCount);
  EXPECT_EQ(info["FaceCount"], level.FaceCount);
  EXPECT_EQ(info["TextureCount"], level.TextureCount);
  EXPECT_EQ(info["LightmapCount"], level.LightmapCount);
  EXPECT_EQ(info["NodeCount"], level.NodeCount);
  EXPECT_EQ(info["LeafCount"], level.LeafCount);
  EXPECT_EQ(info["LeafFaceCount"], level.LeafFaceCount);
  EXPECT_EQ(info["PlaneCount"], level.PlaneCount);
  EXPECT_EQ(info["ClusterCount"], level.VisData.ClusterCount);
  EXPECT_EQ(info["BytesPerCluster"], level.VisData.BytesPerCluster);
  EXPECT_GT(info["SpawnPoints"].get<int>(), 0);
  // An image reported found is one the loader made a texture from, and the other way round.
  ASSERT_EQ(info["Textures"].size(), level.SurfaceTextures.size());
  int found = 0;
  for (std::size_t t = 0; t < level.SurfaceTextures.size(); ++t) {
    SCOPED_TRACE(info["Textures"][t].dump());
    EXPECT_EQ(info["Textures"][t]["Image"].is_string(), level.SurfaceTextures[t] != 0);
    found += level.SurfaceTextures[t] != 0;
  }
  EXPECT_GT(found, 20);
  int textured = 0;
  for (const json& t : info["Textures"]) textured += t["FaceCount"].get<int>();
  int grouped = 0;
  for (const std::int32_t n : level.TextureFaceCounts) grouped += n;
  EXPECT_EQ(textured, grouped);

  // Spawn points, the start pose, a point far outside, and NaN.
  const TLevelFile file(Source);
  std::vector<TVector> positions{{200, 500, 700}, {1e6f, 1e6f, 1e6f}, {NAN, NAN, NAN}};
  for (const TSpawnPoint& spawn : LevelSpawnPoints(file))
    positions.push_back(spawn.Origin);
  std::vector<std::string> args{"--json", "maps/oa_dm1.bsp"};
  for (const TVector& p : positions) {
    char text[128];
    std::snprintf(text, sizeof text, "--at=%.9g,%.9g,%.9g", p.X, p.Y, p.Z);
    args.push_back(text);
  }
  run = RunProgram(args, base.Dir.Path());
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  const std::vector<std::string> lines = Lines(run.Out);
  ASSERT_EQ(lines.size(), positions.size());
  bool sawPartialView = false;
  for (std::size_t i = 0; i < positions.size(); ++i) {
    SCOPED_TRACE(lines[i]);
    const json at = json::parse(lines[i]);
    level.RenderLevel(positions[i], {}, cache);
    const std::int32_t leaf = level.FindLeaf(positions[i]);
    EXPECT_EQ(at["Leaf"], leaf);
    EXPECT_EQ(at["Cluster"], level.Leaves[static_cast<std::size_t>(leaf)].Cluster);
    EXPECT_EQ(at["VisibleFaceCount"], VisibleFaceCount);
    EXPECT_EQ(at["MarkedFaces"],
              std::count_if(level.FaceVisible.begin(), level.FaceVisible.end(), [](auto v) { return v != 0; }));
    if (i >= 3 && VisibleFaceCount < grouped) sawPartialView = true;
  }
  EXPECT_TRUE(sawPartialView) << "the PVS should hide part of the level from some spawn point";
}

TEST_F(RealLevel, ScreenshotIsTheRightSizeNotBlankAndFollowsThePose) {
  TBase base;
  const std::string shotA = base.Dir / "a.png", shotB = base.Dir / "b.png";
  // Two spawn points of the level, looking the way a player would.
  const std::string poseA = "--camera=576,752,60,90,270", poseB = "--camera=-656,976,60,0,270";
  TRun run = RunProgram({"--screenshot", shotA, "--size", "320x200", poseA, "maps/oa_dm1.bsp"},
                        base.Dir.Path());
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Out, "");
  const TPicture a = ReadPNG(shotA);
  EXPECT_EQ(a.Width, 320);
  EXPECT_EQ(a.Height, 200);
  EXPECT_GT(DistinctColours(a), 100u);

  run = RunProgram({"--screenshot=" + shotB, "--size=320x200", poseB, "--frames", "3",
                    "maps/oa_dm1.bsp"},
                   base.Dir.Path());
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  const TPicture b = ReadPNG(shotB);
  ASSERT_EQ(b.Rgb.size(), a.Rgb.size());
  std::size_t differing = 0;
  for (std::size_t i = 0; i < a.Rgb.size(); i += 3)
    differing += a.Rgb[i] != b.Rgb[i] || a.Rgb[i + 1] != b.Rgb[i + 1] || a.Rgb[i + 2] != b.Rgb[i + 2];
  EXPECT_GT(differing, a.Rgb.size() / 3 / 10);

  // The same pose gives the same picture: the clock is fixed, so even the heads-up rate matches.
  run = RunProgram({"--screenshot", base.Dir / "c.png", "--size", "320x200", poseA,
                    "maps/oa_dm1.bsp"},
                   base.Dir.Path());
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(ReadPNG(base.Dir / "c.png").Rgb, a.Rgb);
}

TEST_F(RealLevel, BenchmarkJsonReportsEveryFrame) {
  TBase base;
  const TRun run = RunProgram({"--benchmark", "--frames", "50", "--json", "--size", "320x240",
                               "maps/oa_dm1.bsp"},
                              base.Dir.Path());
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  const json result = json::parse(run.Out);
  EXPECT_EQ(result["frames"], 50);
  EXPECT_EQ(result["path"], "spawn points");
  EXPECT_EQ(result["width"], 320);
  EXPECT_GT(result["load_total_ms"].get<double>(), 0);
  double stages = 0;
  for (const auto& [name, ms] : result["load_stages_ms"].items()) {
    EXPECT_GE(ms.get<double>(), 0) << name;
    stages += ms.get<double>();
  }
  EXPECT_EQ(result["load_stages_ms"].size(), 3u);
  // The high-water marks: after loading, then at the end, which is what the child's own resource
  // usage reports once it has ended.
  EXPECT_GT(result["load_peak_rss_mb"].get<double>(), 10);
  EXPECT_LE(result["load_peak_rss_mb"].get<double>(), result["peak_rss_mb"].get<double>());
  EXPECT_NEAR(result["peak_rss_mb"].get<double>(), run.PeakResidentMB, 0.05 * run.PeakResidentMB);
  EXPECT_LE(stages, result["load_total_ms"].get<double>() + 0.01);
  const json& frame = result["frame_ms"];
  EXPECT_GT(frame["min"].get<double>(), 0);
  EXPECT_LE(frame["min"].get<double>(), frame["median"].get<double>());
  EXPECT_LE(frame["median"].get<double>(), frame["p95"].get<double>());
  EXPECT_LE(frame["p95"].get<double>(), frame["max"].get<double>());
  const json& faces = result["faces_per_frame"];
  EXPECT_GT(faces["min"].get<double>(), 0);
  EXPECT_LE(faces["min"].get<double>(), faces["median"].get<double>());
  EXPECT_LE(faces["median"].get<double>(), faces["max"].get<double>());

  // A fixed camera: one view, so the face count never changes.
  const TRun fixed = RunProgram({"--benchmark", "--frames", "5", "--json", "--size", "64x64",
                                 "--camera=-64,128,40,90,270", "maps/oa_dm1.bsp", "--verbose"},
                                base.Dir.Path());
  ASSERT_EQ(fixed.ExitCode, 0) << fixed.Err;
  EXPECT_NE(fixed.Err.find("bspwalk: peak resident memory "), std::string::npos) << fixed.Err;
  const json held = json::parse(fixed.Out);
  EXPECT_EQ(held["path"], "fixed camera");
  EXPECT_EQ(held["faces_per_frame"]["min"], held["faces_per_frame"]["max"]);
}

TEST(Program, ScreenshotOfASyntheticFaceAndLoaderMessagesOnStandardError) {
  testsupport::TTempDir dir;
  fs::create_directory(dir / "lgmp");
  TBspWriter::SmallLevel().WriteTo(dir / "maps/testmap.BSP");
  // No LEVEL: the fixed path. From below the square (64 x 64 at z = 0) fills the middle.
  TRun run = RunProgram({"--screenshot", "below.png", "--size", "100x80", "--camera", "32,32,-40,0,180",
                         "--verbose"},
                        dir.Path());
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  // font.tga is missing: the loader's message is on standard error, and the run went on.
  EXPECT_NE(run.Err.find("font.tga"), std::string::npos) << run.Err;
  EXPECT_NE(run.Err.find("1 textures: 0 images found, 1 missing"), std::string::npos) << run.Err;
  EXPECT_NE(run.Err.find("1 lightmaps"), std::string::npos) << run.Err;
  EXPECT_TRUE(fs::exists(dir / "lgmp/lgmp0.jpg"));
  TPicture below = ReadPNG(dir / "below.png");
  ASSERT_EQ(below.Width, 100);
  ASSERT_EQ(below.Height, 80);
  // No image: white, times twice the brightened lightmap (2 x 40 + 80 = 160), saturates.
  EXPECT_EQ(below.At(50, 40)[0], 255);
  EXPECT_EQ(below.At(50, 40)[1], 255);
  // Looking down from the same place sees nothing of it.
  run = RunProgram({"--screenshot", "away.png", "--size", "100x80", "--camera", "32,32,-40,0,0"},
                   dir.Path());
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(ReadPNG(dir / "away.png").At(50, 40)[0], 0);

  // Without lgmp/ the loader's file error ends the run with exit code 1.
  fs::remove_all(dir / "lgmp");
  run = RunProgram({"--screenshot", "none.png", "--size", "100x80"}, dir.Path());
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Err.find("Cannot create file lgmp\\lgmp0.jpg"), std::string::npos) << run.Err;
  EXPECT_FALSE(fs::exists(dir / "none.png"));
}

}  // namespace
