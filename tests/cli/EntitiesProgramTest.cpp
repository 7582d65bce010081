// The program's entity runs and options: --entities on a real level against the spawn points
// --info lists, --info's classes and brush models, --at with --brush-models, --goto, items drawn
// with --full, and a damaged level told with warnings while the rest of it is used.
#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "app/cli/CommandLine.h"
#include "support/BspWriter.h"
#include "support/Gltf.h"
#include "support/Program.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using json = nlohmann::json;
using testsupport::TRun;

namespace {

std::string GameData() {
  const std::string pak = testsupport::OpenArenaArchive("pak0.pk3");
  return pak.empty() ? "" : fs::path(pak).parent_path().string();
}

TRun RunBspwalk(const std::vector<std::string>& args, const std::string& work = "") {
  return testsupport::RunProgram(BSPWALK_PROGRAM, args, work);
}

TEST(EntitiesProgram, UsageErrors) {
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {{"--class", "item_*", "--info", "a.bsp"}, "--class applies to --entities only"},
      {{"--entities", "--class", "", "a.bsp"}, "--class needs a pattern"},
      {{"--entities", "--info", "a.bsp"}, "--entities cannot be combined with --info"},
      {{"--goto", "item_quad"}, "--goto needs a LEVEL"},
      {{"--goto", "1", "--camera", "1,2,3,0,0", "a.bsp"}, "--goto and --camera cannot be combined"},
      {{"--goto", "1", "--spawn", "1", "a.bsp"}, "--goto and --spawn cannot be combined"},
      {{"--goto", "1", "--info", "a.bsp"}, "--goto applies to the viewer, --screenshot and --benchmark only"},
      {{"--entities", "--screenshot", "a.png", "a.bsp"}, "cannot be combined"},
  };
  for (const auto& [args, message] : cases) {
    std::vector<const char*> argv{"bspwalk"};
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    std::ostringstream out, err;
    const app::TParseResult parsed = app::ParseCommandLine(static_cast<int>(argv.size()), argv.data(), out, err);
    EXPECT_EQ(parsed.ExitCode, 2) << message;
    EXPECT_NE(err.str().find(message), std::string::npos) << err.str();
  }
  std::vector<const char*> argv{"bspwalk", "--entities", "--json", "--class", "info_*", "a.bsp"};
  std::ostringstream out, err;
  const app::TParseResult parsed = app::ParseCommandLine(6, argv.data(), out, err);
  ASSERT_TRUE(parsed.Options) << err.str();
  EXPECT_EQ(parsed.Options->EntityClass, "info_*");
  argv = {"bspwalk", "--full", "a.bsp"};
  const app::TParseResult full = app::ParseCommandLine(3, argv.data(), out, err);
  EXPECT_TRUE(full.Options->BrushModels && full.Options->Items);
}

// The entity list as JSON names the same spawn points, in the same order and places, as --info.
TEST(EntitiesProgram, EntityListMatchesTheSpawnPointsOfInfo) {
  const std::string data = GameData();
  if (data.empty()) GTEST_SKIP() << "OpenArena is not installed";
  const TRun entities = RunBspwalk({"--data", data, "--entities", "--json", "oa_dm2"});
  const TRun info = RunBspwalk({"--data", data, "--info", "--json", "oa_dm2"});
  ASSERT_EQ(entities.ExitCode, 0) << entities.Err;
  ASSERT_EQ(info.ExitCode, 0) << info.Err;
  const json list = json::parse(entities.Out)["Entities"];
  const json report = json::parse(info.Out);
  const std::set<std::string> spawnClasses{"info_player_deathmatch", "info_player_start", "team_CTF_redplayer",
                                           "team_CTF_blueplayer", "team_CTF_redspawn", "team_CTF_bluespawn"};
  json spawns = json::array();
  for (const json& entity : list) {
    EXPECT_TRUE(entity["Index"].is_number());
    if (!entity.contains("classname") || !spawnClasses.count(entity["classname"])) continue;
    float x, y, z;
    std::istringstream(entity["origin"].get<std::string>()) >> x >> y >> z;
    spawns.push_back({{"Class", entity["classname"]}, {"Origin", {x, y, z}}});
  }
  ASSERT_EQ(spawns.size(), report["Spawns"].size());
  for (std::size_t i = 0; i < spawns.size(); ++i) {
    EXPECT_EQ(spawns[i]["Class"], report["Spawns"][i]["Class"]);
    EXPECT_EQ(spawns[i]["Origin"], report["Spawns"][i]["Origin"]);
  }
  EXPECT_EQ(list.size(), report["Entities"].get<std::size_t>());
  EXPECT_EQ(report["EntityClasses"]["func_door"], 11);
  EXPECT_EQ(report["BrushModels"].size(), 29u);
  EXPECT_EQ(report["BrushModels"][0], json::parse(R"({"Model": 1, "Faces": 6, "Class": "func_button", "Entity": 2})"));

  const TRun quads = RunBspwalk({"--data", data, "--entities", "--class", "ITEM_Q*", "oa_dm2"});
  EXPECT_EQ(quads.Out, "// entity 63\n{\n\"classname\" \"item_quad\"\n\"origin\" \"1920 -704 198\"\n}\n");
}

TEST(EntitiesProgram, BrushModelsGotoAndItemsOnARealLevel) {
  const std::string data = GameData();
  if (data.empty()) GTEST_SKIP() << "OpenArena is not installed";
  // Beside a door of oa_dm2: the door's faces are marked with --brush-models and reported apart.
  const TRun plain = RunBspwalk({"--data", data, "--at=1248,-960,40", "--json", "oa_dm2"});
  const TRun models = RunBspwalk({"--data", data, "--at=1248,-960,40", "--json", "--brush-models", "oa_dm2"});
  const json a = json::parse(plain.Out), b = json::parse(models.Out);
  EXPECT_FALSE(a.contains("BrushModels"));
  EXPECT_GT(b["BrushModels"].get<int>(), 0) << models.Out;
  EXPECT_GE(b["VisibleFaceCount"].get<int>(), a["VisibleFaceCount"].get<int>());
  EXPECT_LE(b["VisibleFaceCount"].get<int>(), a["VisibleFaceCount"].get<int>() + b["BrushModelFaces"].get<int>());

  const TRun missing = RunBspwalk({"--data", data, "--goto", "item_quad:2", "--screenshot", "x.png", "oa_dm2"});
  EXPECT_EQ(missing.ExitCode, 1);
  EXPECT_EQ(missing.Err, "bspwalk: oa_dm2: --goto item_quad:2: the level has 1 item_quad with a place\n");

  testsupport::TTempDir work;
  const TRun shot = RunBspwalk({"--data", data, "--full", "--verbose", "--goto", "item_quad", "--size", "64x48",
                         "--screenshot", "quad.png", "oa_dm2"},
                        work.Path());
  EXPECT_EQ(shot.ExitCode, 0) << shot.Err;
  EXPECT_NE(shot.Err.find("119 entities, 24 brush models placed, 32 items drawn as models"), std::string::npos)
      << shot.Err;
  EXPECT_TRUE(fs::exists(fs::path(work.Path()) / "quad.png"));
}

// --export with --brush-models: a node "*N" per brush model with faces, holding what --info counts
// beyond the world, which is the export without the option.
TEST(EntitiesProgram, ExportCarriesTheBrushModels) {
  const std::string data = GameData();
  if (data.empty()) GTEST_SKIP() << "OpenArena is not installed";
  testsupport::TTempDir work;
  ASSERT_EQ(RunBspwalk({"--data", data, "--export", "m.glb", "--brush-models", "oa_dm2"}, work.Path()).ExitCode, 0);
  ASSERT_EQ(RunBspwalk({"--data", data, "--export", "w.glb", "oa_dm2"}, work.Path()).ExitCode, 0);
  const auto trianglesByNode = [&](const std::string& name) {
    const testsupport::TGltfFile file = testsupport::ReadGltf(work.Path() + "/" + name);
    std::map<std::string, std::int64_t> triangles;
    for (const json& node : file.Json["nodes"])
      if (node.contains("mesh"))
        for (const json& primitive : file.Json["meshes"][node["mesh"].get<int>()]["primitives"])
          triangles[node["name"]] += file.Json["accessors"][primitive["indices"].get<int>()]["count"].get<std::int64_t>() / 3;
    return triangles;
  };
  const std::map<std::string, std::int64_t> models = trianglesByNode("m.glb"), world = trianglesByNode("w.glb");
  const json info = json::parse(RunBspwalk({"--data", data, "--info", "--json", "--brush-models", "oa_dm2"}).Out);
  std::int64_t total = 0;
  for (const auto& [name, triangles] : models) total += triangles;
  EXPECT_EQ(total, info["Drawn"]["Triangles"].get<std::int64_t>());
  ASSERT_EQ(world.size(), 1u);
  EXPECT_EQ(models.at("world"), world.at("world"));
  std::size_t withFaces = 0;
  for (const json& model : info["BrushModels"]) withFaces += model["Faces"].get<int>() > 0;
  EXPECT_EQ(models.size(), 1 + withFaces);
  EXPECT_EQ(models.at("*3"), 12);  // a door: a box of six quads
}

// A level whose entities and models are damaged: each fault a warning, the rest used.
TEST(EntitiesProgram, DamagedThingsAreWarnedAndSkipped) {
  testsupport::TTempDir work;
  testsupport::TBspWriter writer = testsupport::TBspWriter::SmallLevel();
  writer.Entities =
      "{ \"classname\" \"worldspawn\" }\n"
      "{ \"classname\" \"info_player_start\" \"origin\" \"8 8 8\" \"origin\" \"9 9 9\" }\n"
      "{ \"classname\" \"func_door\" \"model\" \"*99999\" }\n"
      "{ \"classname\" \"item_quad\" \"origin\" \"one two three\" }\n"
      "{ \"classname\" \"func_plat\" \"model\" \"*1\"\n";
  // Model 0 (the world), model 1 whose faces run past the faces lump, model 2 with a NaN box.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const TBSPModel models[3] = {{{-8, -8, -8}, {8, 8, 8}, 0, 1, 0, 0},
                               {{0, 0, 0}, {8, 8, 8}, 0, 500, 0, 0},
                               {{nan, 0, 0}, {8, 8, 8}, 0, 1, 0, 0}};
  writer.SetRawLump(kModels, std::vector<std::uint8_t>(reinterpret_cast<const std::uint8_t*>(models),
                                                       reinterpret_cast<const std::uint8_t*>(models) + sizeof models));
  writer.WriteTo(work.Path() + "/maps/damaged.bsp");
  fs::create_directory(fs::path(work.Path()) / "lgmp");

  const TRun list = RunBspwalk({"--entities", "--verbose", "maps/damaged.bsp"}, work.Path());
  EXPECT_EQ(list.ExitCode, 0);
  EXPECT_EQ(list.Err,
            "bspwalk: warning: maps/damaged.bsp: entities line 2: entity 1: key \"origin\" repeated: the first value is kept\n"
            "bspwalk: warning: maps/damaged.bsp: entities line 5: entity 4 is not closed: skipped\n");
  EXPECT_NE(list.Out.find("\"origin\" \"8 8 8\"\n}"), std::string::npos);
  EXPECT_EQ(RunBspwalk({"--entities", "maps/damaged.bsp"}, work.Path()).Err,
            "bspwalk: warning: maps/damaged.bsp: entities line 5: entity 4 is not closed: skipped\n");

  const TRun shot = RunBspwalk({"--screenshot", "a.png", "--size", "32x24", "--brush-models", "--verbose", "maps/damaged.bsp"},
                        work.Path());
  EXPECT_EQ(shot.ExitCode, 0) << shot.Err;
  for (const char* warning : {"entity 2 (func_door): model *99999 is not one of the level's 2 brush models",
                              "entity 3 (item_quad): origin \"one two three\" is not three numbers",
                              "brush model 1: faces 0..499 outside the 1 faces of the level: skipped",
                              "brush model 2: its box is not a finite box: skipped"})
    EXPECT_NE(shot.Err.find(std::string("bspwalk: warning: ") + warning + "\n"), std::string::npos) << warning << shot.Err;
}

// A level's bytes reach the terminal with their control bytes escaped: an escape sequence in a
// value or a texture name must not set the window title or clear the screen.
TEST(EntitiesProgram, ControlBytesReachTheTerminalEscaped) {
  testsupport::TTempDir work;
  testsupport::TBspWriter writer = testsupport::TBspWriter::SmallLevel("tex/\x1b[2J");
  writer.Entities = "{ \"classname\" \"worldspawn\" \"message\" \"\x1b]0;owned\x07 C:\\x\" }";
  writer.WriteTo(work.Path() + "/l.bsp");
  const TRun list = RunBspwalk({"--entities", "l.bsp"}, work.Path());
  EXPECT_EQ(list.Out, "// entity 0\n{\n\"classname\" \"worldspawn\"\n\"message\" \"\\x1b]0;owned\\x07 C:\\\\x\"\n}\n");
  const TRun info = RunBspwalk({"--info", "l.bsp"}, work.Path());
  EXPECT_NE(info.Out.find("tex/\\x1b[2J"), std::string::npos) << info.Out;
  EXPECT_EQ(info.Out.find('\x1b'), std::string::npos);
}

}  // namespace
