// --surfaces and --tess: parsed, and through the real program on a synthetic level whose
// curved surface, mesh and billboard counts are known. (The picture is tested in render/.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "app/cli/CommandLine.h"
#include "level/Q3BSP.h"
#include "support/BspWriter.h"
#include "support/Picture.h"
#include "support/Program.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using testsupport::Lines;
using testsupport::TBspWriter;
using testsupport::TRun;

namespace {

TRun RunProgram(const std::vector<std::string>& args, const std::string& workingDir) {
  return testsupport::RunProgram(BSPWALK_PROGRAM, args, workingDir);
}

// One leaf holding: a polygon (a fan of one triangle), a 3 x 3 curved surface over the square
// 0..64 at z = 0 (seen from below), a 2 x 2 grid that is refused, a mesh of one triangle and a
// billboard.
TBspWriter SurfacesLevel() {
  TBspWriter w;
  w.Textures = {TBspWriter::Texture("tex/a")};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) w.Vertices.push_back(TBspWriter::Vertex(32.0f * r, 32.0f * c, 0));
  w.MeshVertices = {0, 1, 2};
  TBSPFace patch = TBspWriter::Face(0, 0, 9, -1, 2), refused = TBspWriter::Face(0, 0, 4, -1, 2);
  patch.PatchSize[0] = patch.PatchSize[1] = 3;
  refused.PatchSize[0] = refused.PatchSize[1] = 2;
  TBSPFace mesh = TBspWriter::Face(0, 0, 3, -1, 3);
  mesh.NumMeshVertices = 3;
  w.Faces = {TBspWriter::Face(0, 6, 3, -1), patch, refused, mesh, TBspWriter::Face(0, 0, 0, -1, 4)};
  w.Planes = {TBSPPlane{{0, 0, 1}, 100}};
  w.Nodes = {TBspWriter::Node(0, -1, -2)};
  w.Leaves = {TBspWriter::Leaf(0, 0, 0), TBspWriter::Leaf(1, 0, 5)};
  w.LeafFaces = {0, 1, 2, 3, 4};
  return w;
}

// oa_dm5's misc_portal_surface, whose camera looks down a corridor, at the view of the issue: with
// --portals one view a frame, the panel's pixels change and the rest of the picture stays.
TEST(Portals, Oa_dm5PanelShowsItsCameraView) {
  const std::string pak = testsupport::OpenArenaArchive("pak0.pk3");
  if (pak.empty()) GTEST_SKIP() << "OpenArena's data is not installed";
  testsupport::TTempDir dir;
  const auto run = [&](std::vector<std::string> more) {
    std::vector<std::string> args = {"--data", fs::path(pak).parent_path().string(), "--shaders",
                                      "--camera=849,200,270,90,270", "--size", "256x192", "--no-hud"};
    args.insert(args.end(), more.begin(), more.end());
    args.push_back("oa_dm5");
    const TRun done = RunProgram(args, dir.Path());
    EXPECT_EQ(done.ExitCode, 0) << done.Err;
    return done;
  };
  run({"--screenshot", "plain.png"});
  run({"--portals", "--screenshot", "portal.png"});
  const testsupport::TPicture plain = testsupport::ReadPNG(dir / "plain.png"), portal = testsupport::ReadPNG(dir / "portal.png");
  ASSERT_EQ(plain.Rgb.size(), portal.Rgb.size());
  ASSERT_FALSE(plain.Rgb.empty());
  int changed = 0, outside = 0;
  for (int y = 0; y < 192; ++y)
    for (int x = 0; x < 256; ++x) {
      const bool panel = x >= 118 && x <= 138 && y >= 82 && y <= 122;
      int difference = 0;
      for (int c = 0; c < 3; ++c) difference = std::max(difference, std::abs(plain.At(x, y)[c] - portal.At(x, y)[c]));
      if (panel && difference > 24) ++changed;
      if (!panel && (x < 110 || x > 146 || y < 74 || y > 130) && difference > 1) ++outside;
    }
  EXPECT_GT(changed, 21 * 41 * 3 / 4);
  EXPECT_EQ(outside, 0);
  const nlohmann::json bench = nlohmann::json::parse(run({"--portals", "--benchmark", "--json", "--frames", "2"}).Out);
  EXPECT_EQ(bench["portal_views_per_frame"]["min"], 1);
}

}  // namespace

TEST(SurfacesOptions, ParsedOrRefusedWithTheReason) {
  const std::pair<std::vector<const char*>, std::string> cases[] = {
      {{"--surfaces", "polygons"}, "polygons 8"},
      {{"--surfaces=all", "--info"}, "all 8"},
      {{"--tess", "64", "--surfaces", "all"}, "all 64"},
      {{"--surfaces", "curves"}, "bspwalk: --surfaces: 'curves' is not polygons or all"},
      {{"--surfaces", "polygons", "--tess", "8"}, "bspwalk: --tess applies with --surfaces all only"},
      {{"--surfaces", "all", "--tess", "0"}, "bspwalk: --tess: segment count '0' is not a whole number from 1 to 64"},
      {{"--surfaces", "all", "--tess", "65"}, "bspwalk: --tess: segment count '65' is not a whole number from 1 to 64"},
  };
  for (const auto& [args, expected] : cases) {
    std::vector<const char*> argv{"bspwalk"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::ostringstream out, err;
    const app::TParseResult r = app::ParseCommandLine(static_cast<int>(argv.size()), argv.data(), out, err);
    EXPECT_EQ(r.Options ? (r.Options->AllSurfaces ? "all " : "polygons ") + std::to_string(r.Options->Tessellation)
                        : err.str(),
              r.Options ? expected : expected + " (see bspwalk --help)\n");
  }
}

TEST(TimeOption, ParsedOrRefusedWithTheReason) {
  const std::pair<std::vector<const char*>, std::string> cases[] = {
      {{"--shaders", "--time", "0.5", "--screenshot", "a.png"}, "0.5"},
      {{"--full", "--time=1e6", "--benchmark"}, "1e+06"},
      {{"--shaders", "--overview", "a.png", "--time", "+2"}, "2"},
      {{"--shaders", "--screenshot", "a.png"}, "0"},
      {{"--time", "1", "--screenshot", "a.png"}, "bspwalk: --time applies with --shaders only"},
      {{"--shaders", "--time", "1"}, "bspwalk: --time applies to --screenshot, --benchmark and --overview only"},
      {{"--shaders", "--time", "-1", "--benchmark"}, "bspwalk: --time: '-1' is not from 0 to 1e6 seconds"},
      {{"--shaders", "--time", "1000001", "--benchmark"}, "bspwalk: --time: '1000001' is not from 0 to 1e6 seconds"},
      {{"--shaders", "--time", "nan", "--benchmark"}, "bspwalk: --time: 'nan' is not from 0 to 1e6 seconds"},
      {{"--shaders", "--time", "1e999", "--benchmark"}, "bspwalk: --time: '1e999' is not from 0 to 1e6 seconds"},
      {{"--shaders", "--time", "soon", "--benchmark"}, "bspwalk: --time: 'soon' is not a number"},
  };
  for (const auto& [args, expected] : cases) {
    std::vector<const char*> argv{"bspwalk"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::ostringstream out, err, seconds;
    const app::TParseResult r = app::ParseCommandLine(static_cast<int>(argv.size()), argv.data(), out, err);
    if (r.Options) seconds << r.Options->Time;
    EXPECT_EQ(r.Options ? seconds.str() : err.str(), r.Options ? expected : expected + " (see bspwalk --help)\n");
  }
}

// The options of the game's picture: each on its own, all with --full, --light taking --full's back.
TEST(GameOptions, ParsedOrRefusedWithTheReason) {
  const auto flags = [](const app::TCommandLine& o) {
    std::string f;
    for (const bool b : {o.GameLight, o.LightAsked, o.GreyscaleTGA, o.SkipNoDraw, o.JoinedSky, o.GameStages, o.GridLight,
                         o.ModelStages, o.SkyInView, o.VertexTurb, o.WorldFog, o.GlowImages, o.ClampCoords, o.FogLayers,
                         o.Portals})
      f += b ? '1' : '0';
    return f;
  };
  const std::pair<std::vector<const char*>, std::string> cases[] = {
      {{}, "000000000000000"},
      {{"--light", "game"}, "110000000000000"},
      {{"--light=design"}, "010000000000000"},
      {{"--greyscale-tga", "--skip-nodraw"}, "001100000000000"},
      {{"--joined-sky", "--game-stages", "--grid-light"}, "000011100000000"},
      {{"--model-stages", "--sky-in-view", "--vertex-turb"}, "000000011100000"},
      {{"--world-fog", "--glow-images", "--clamp-coords"}, "000000000011100"},
      {{"--fog-layers"}, "000000000000010"},
      {{"--portals"}, "000000000000001"},
      {{"--full"}, "111111111111111"},
      {{"--full", "--light", "design"}, "011111111111111"},
      {{"--light", "bright"}, "bspwalk: --light: 'bright' is not design or game"},
  };
  for (const auto& [args, expected] : cases) {
    std::vector<const char*> argv{"bspwalk"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::ostringstream out, err;
    const app::TParseResult r = app::ParseCommandLine(static_cast<int>(argv.size()), argv.data(), out, err);
    EXPECT_EQ(r.Options ? flags(*r.Options) : err.str(), r.Options ? expected : expected + " (see bspwalk --help)\n");
  }
}

TEST(SurfacesOptions, InfoAtAndBenchmarkWithEverySurface) {
  testsupport::TTempDir dir;
  fs::create_directory(dir / "lgmp");
  SurfacesLevel().WriteTo(dir / "s.bsp");

  TRun run = RunProgram({"--info", "--surfaces", "all", "--tess", "4", "--verbose", "s.bsp"}, dir.Path());
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_NE(run.Out.find("Faces by type   1 polygon, 2 patch, 1 mesh, 1 billboard, 0 other\n"
                         "Triangles       in the file: 1 polygon, 10 patch (control grids), 1 mesh\n"
                         "                drawn at --tess 4: 1 polygon, 32 patch, 1 mesh; 1 curved "
                         "surfaces not drawn\n"),
            std::string::npos)
      << run.Out;
  EXPECT_NE(run.Err.find("bspwalk: warning: Face 2: curved surface not drawn: grid 2 x 2: its sides "
                         "must be odd and at least 3\n"),
            std::string::npos)
      << run.Err;
  // Without the option, --info is as it was.
  EXPECT_EQ(RunProgram({"--info", "s.bsp"}, dir.Path()).Out.find("Triangles"), std::string::npos);

  run = RunProgram({"--at", "0,0,0", "--surfaces", "all", "s.bsp"}, dir.Path());
  EXPECT_EQ(run.Out, "0 0 0: leaf 1, cluster 1, 5 faces marked (1 polygon, 2 patch, 1 mesh, 1 billboard, "
                     "0 other), VisibleFaceCount 3\n");
  EXPECT_EQ(RunProgram({"--at", "0,0,0", "s.bsp"}, dir.Path()).Out,
            "0 0 0: leaf 1, cluster 1, 5 faces marked, VisibleFaceCount 5\n");

  run = RunProgram({"--benchmark", "--frames", "3", "--json", "--size", "64x48", "--camera", "32,32,-40,0,180",
                    "--surfaces", "all", "s.bsp"},
                   dir.Path());
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  const nlohmann::json result = nlohmann::json::parse(run.Out);
  EXPECT_TRUE(result["load_stages_ms"].contains("tessellation"));
  // The polygon, the mesh's triangle and the curved surface's 128.
  EXPECT_EQ(result["triangles_per_frame"]["median"], 130);
  EXPECT_EQ(result["faces_per_frame"]["median"], 3);
}
