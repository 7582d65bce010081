// Levels from game data: --data folders and archives, BSPWALK_DATA, names, --list, spawn starts,
// and the files that are plainly no Quake 3 level, run through the program as a person runs it.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <numbers>
#include <set>

#include "app/cli/GameData.h"
#include "app/cli/StartPose.h"
#include "app/viewer/ViewModes.h"
#include "level/BSPFile.h"
#include "support/BspWriter.h"
#include "support/Program.h"
#include "support/TestSupport.h"
#include "support/XServer.h"
#include "support/ZipWriter.h"

namespace fs = std::filesystem;
using nlohmann::json;
using testsupport::TBspWriter;
using testsupport::TRun;

namespace {

std::string Text(const std::vector<std::uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

TEST(GameData, SpawnPoseLooksAlongTheEntityAngleAtEyeHeight) {
  // The camera looks along (-sin p sin y, -sin p cos y, -cos p); the entity's angle turns from +X
  // towards +Y.
  for (const float angle : {0.0f, 45.0f, 90.0f, 180.0f, 270.0f, -90.0f, 400.0f}) {
    const app::TCameraPose pose = app::SpawnCameraPose({"info_player_deathmatch", {10, -20, 30}, angle});
    const double p = pose.Pitch * std::numbers::pi / 180, y = pose.Yaw * std::numbers::pi / 180;
    const double a = angle * std::numbers::pi / 180;
    EXPECT_NEAR(-std::sin(p) * std::sin(y), std::cos(a), 1e-6) << angle;
    EXPECT_NEAR(-std::sin(p) * std::cos(y), std::sin(a), 1e-6) << angle;
    EXPECT_NEAR(-std::cos(p), 0, 1e-6) << angle;
    EXPECT_EQ(pose.X, 10);
    EXPECT_EQ(pose.Y, -20);
    EXPECT_EQ(pose.Z, 30 + app::kEyeHeight);
  }
}

TEST(GameData, LevelsByNameFromArchivesAndWhatIsPlainlyNoLevel) {
  testsupport::TTempDir dir;
  const std::string data = dir / "data", work = dir / "work";
  fs::create_directories(data);
  fs::create_directories(work + "/sub");
  fs::create_directories(work + "/other");  // a folder named like a level of the data
  TBspWriter level = TBspWriter::SmallLevel();
  level.Entities =
      "{\"classname\" \"worldspawn\"}"
      "{\"classname\" \"info_player_deathmatch\" \"origin\" \"32 32 -66\" \"angle\" \"90\"}"
      "{\"classname\" \"team_CTF_redspawn\" \"origin\" \"32 32 -66\"}";
  const float model[10] = {-8, -16, -24, 72, 80, 88, 0, 1, 0, 0};
  level.SetRawLump(kModels, std::vector<std::uint8_t>(reinterpret_cast<const std::uint8_t*>(model),
                                                      reinterpret_cast<const std::uint8_t*>(model) + 40));
  const std::string levelText = Text(level.Bytes());
  testsupport::WriteZip(data + "/a.pk3",
                        {{"maps/small.bsp", levelText},
                         {"scripts/walls.shader", "textures/base/wall\n{\n{\nmap textures/x/img.tga\n}\n}\n"},
                         {"textures/x/img.tga", "any bytes"}});
  testsupport::WriteZip(data + "/b.pk3", {{"maps/Other.bsp", levelText}, {"maps/notes.txt", "x"}});
  testsupport::WriteFile(work + "/pic.png", {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0});
  testsupport::WriteFile(work + "/q2.bsp", {'I', 'B', 'S', 'P', 38, 0, 0, 0, 1, 2, 3, 4});
  testsupport::WriteFile(work + "/hl.bsp", {30, 0, 0, 0, 1, 2, 3, 4});

  const struct {
    std::vector<std::string> Args;
    int ExitCode;
    std::string Out;  // a part of standard output
    std::string Err;  // standard error exactly
  } cases[] = {
      {{"--data", data, "--list"}, 0,
       "maps/Other.bsp  " + std::string(10 - std::to_string(levelText.size()).size(), ' ') +
           std::to_string(levelText.size()) + " bytes  " + data + "/b.pk3\nmaps/small.bsp",
       ""},
      {{"--data", data, "--info", "small"}, 0,
       "    1 info_player_deathmatch   32 32 -66, angle 90\n"
       "    2 team_CTF_redspawn        32 32 -66, angle 0 (CTF) (where an earlier one stands)\n"
       "World bounds    -8 -16 -24 to 72 80 88\n",
       ""},
      {{"--data", data, "--info", "MAPS\\Small"}, 0, "FaceCount       1", ""},
      {{"--data", data + "/a.pk3", "--at", "1,1,1", "maps/small.bsp"}, 0, "leaf 0, cluster 0", ""},
      {{"--data", data + "/b.pk3", "--info", "small"}, 1, "",
       "bspwalk: small: no such level file (looked in " + work + ", " + data +
           "/b.pk3); bspwalk --list shows all levels\n"},
      {{"--data", data, "--info", "smal"}, 1, "",
       "bspwalk: smal: no such level file (looked in " + work + ", " + data +
           "); did you mean small? (bspwalk --list shows all)\n"},
      {{"--info", "small"}, 1, "",
       "bspwalk: small: no such level file (looked in " + work +
           "); no game data was given: use --data DIR or BSPWALK_DATA\n"},
      {{"--list"}, 2, "",
       "bspwalk: --list: no game data was given; name its folders with --data DIR or BSPWALK_DATA "
       "(see bspwalk --help)\n"},
      {{"--data", dir / "none", "--info", "small"}, 2, "",
       "bspwalk: --data " + dir / "none" + ": no such folder or .pk3 file (see bspwalk --help)\n"},
      {{"--info", data + "/a.pk3"}, 1, "", "bspwalk: " + data + "/a.pk3 is an archive: use --data\n"},
      {{"--info", "pic.png"}, 1, "",
       "bspwalk: pic.png is a PNG picture; bspwalk reads Quake 3 levels (IBSP version 46)\n"},
      {{"--info", "q2.bsp"}, 1, "",
       "bspwalk: q2.bsp is a Quake 2 level (IBSP version 38); bspwalk reads Quake 3 levels "
       "(IBSP version 46)\n"},
      {{"--screenshot", "x.png", "hl.bsp"}, 1, "",
       "bspwalk: hl.bsp is a Half-Life level (BSP version 30); bspwalk reads Quake 3 levels "
       "(IBSP version 46)\n"},
      {{"--at", "0,0,0", "sub"}, 1, "",
       "bspwalk: sub is a directory; bspwalk reads Quake 3 levels (IBSP version 46)\n"},
      {{"--data", data, "--info", "other"}, 0, "FaceCount       1", ""},
      {{"--data", data, "--screenshot", "x.png", "--spawn", "3", "small"}, 1, "",
       "bspwalk: small: --spawn 3: the level has 2 spawn points\n"},
      {{"--spawn", "1"}, 2, "", "bspwalk: --spawn needs a LEVEL (see bspwalk --help)\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Args.back());
    const TRun run = testsupport::RunProgram(BSPWALK_PROGRAM, c.Args, work);
    EXPECT_EQ(run.ExitCode, c.ExitCode);
    EXPECT_NE(run.Out.find(c.Out), std::string::npos) << run.Out;
    EXPECT_EQ(run.Err, c.Err);
  }

  // JSON forms, and BSPWALK_DATA standing in for --data.
  testsupport::TStartedProgram started(BSPWALK_PROGRAM, {"--info", "--json", "maps/small"}, work, "",
                                       {"BSPWALK_DATA=:" + data + ":"});
  ASSERT_EQ(started.WaitForExit(std::chrono::seconds(60)), 0) << started.Err();
  const json info = json::parse(started.Out());
  EXPECT_EQ(info["Spawns"][1], json::parse(R"({"Number": 2, "Class": "team_CTF_redspawn",
      "Origin": [32, 32, -66], "Angle": 0, "CTF": true, "Duplicate": true})"));
  EXPECT_EQ(info["WorldBounds"], json::parse(R"({"Mins": [-8, -16, -24], "Maxs": [72, 80, 88]})"));
  // --shaders reads the scripts and finds their images in the archives too.
  const TRun shaded = testsupport::RunProgram(
      BSPWALK_PROGRAM, {"--info", "--json", "--shaders", "--data", data, "small"}, work);
  EXPECT_EQ(json::parse(shaded.Out)["Textures"][0]["Origin"], "shader") << shaded.Out << shaded.Err;
  const TRun list = testsupport::RunProgram(BSPWALK_PROGRAM, {"--list", "--json", "--data", data}, work);
  EXPECT_EQ(json::parse(list.Out)[1], (json{{"Name", "maps/small.bsp"}, {"Size", levelText.size()},
                                            {"Source", data + "/a.pk3"}, {"Archived", true}}));

  // A screenshot from the first spawn point, from any folder: no lgmp/ needed, nothing written
  // but the picture.
  const TRun shot = testsupport::RunProgram(
      BSPWALK_PROGRAM, {"--data", data, "--screenshot", "s.png", "--size", "32x24", "--verbose", "small"},
      work);
  EXPECT_EQ(shot.ExitCode, 0) << shot.Err;
  EXPECT_NE(shot.Err.find("no lgmp/ folder: the lightmap images were not written"), std::string::npos)
      << shot.Err;
  std::set<std::string> left;
  for (const auto& entry : fs::directory_iterator(work)) left.insert(entry.path().filename());
  EXPECT_EQ(left, (std::set<std::string>{"s.png", "sub", "other", "pic.png", "q2.bsp", "hl.bsp"}));
}

}  // namespace

// An image a later archive names but cannot give costs only that image: the level draws.
TEST(GameData, AnImageTheArchivesCannotGiveCostsOnlyThatImage) {
  testsupport::TTempDir dir;
  fs::create_directories(dir / "data");
  testsupport::WriteZip(dir / "data/a.pk3", {{"maps/small.bsp", Text(TBspWriter::SmallLevel().Bytes())}});
  testsupport::WriteFile(dir / "data/z.pk3", testsupport::RawZip({{"textures/base/wall.tga", "x", 0, 0, -1, 1 << 30}}));
  const TRun run = testsupport::RunProgram(
      BSPWALK_PROGRAM, {"--data", dir / "data", "--screenshot", "s.png", "--size", "32x24", "small"}, dir.Path());
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_NE(run.Err.find("bspwalk: warning: " + dir / "data/z.pk3: textures/base/wall.tga: declares 1073741824 bytes"),
            std::string::npos) << run.Err;
  EXPECT_TRUE(fs::exists(dir / "s.png"));
}

namespace {

// The installed archives in the search path's order, lowest first.
std::vector<std::string> OpenArenaArchives() {
  std::vector<std::string> names;
  const std::string any = testsupport::OpenArenaArchive("pak0.pk3");
  if (any.empty()) return names;
  for (const auto& entry : fs::directory_iterator(fs::path(any).parent_path()))
    if (entry.path().extension() == ".pk3") names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(GameData, EveryOpenArenaLevelByNameMatchesTheExtractedFile) {
  const std::vector<std::string> archives = OpenArenaArchives();
  if (archives.empty()) GTEST_SKIP() << "OpenArena's data is not installed";
  const std::string baseoa = fs::path(testsupport::OpenArenaArchive("pak0.pk3")).parent_path();
  // Each level extracted with unzip from the last archive that holds it, as the game takes it,
  // into a folder of this test's own (the shared extraction folder mixes archives).
  // lower-cased maps/name.bsp -> (name in the archive, archive)
  std::map<std::string, std::pair<std::string, std::string>> lastArchive;
  for (const std::string& pak : archives)
    for (const std::string& level : testsupport::ListOpenArena(pak, ".bsp")) {
      std::string key = level;
      std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
      lastArchive[key] = {level, pak};
    }
  testsupport::TTempDir loose;
  std::map<std::string, std::string> extracted;  // maps/name.bsp -> file
  for (const std::string& pak : archives) {
    std::string command = "unzip -qq -o " + testsupport::OpenArenaArchive(pak);
    std::size_t count = 0;
    for (const auto& [key, found] : lastArchive)
      if (found.second == pak) {
        command += " " + found.first;
        extracted[found.first] = loose / found.first;
        ++count;
      }
    if (count > 0) {
      ASSERT_EQ(std::system((command + " -d " + loose.Path()).c_str()), 0) << command;
    }
  }
  // Every level the installed packages hold, as many as the program lists.
  const TRun list = testsupport::RunProgram(BSPWALK_PROGRAM, {"--list", "--json", "--data", baseoa});
  ASSERT_EQ(list.ExitCode, 0) << list.Err;
  ASSERT_EQ(extracted.size(), json::parse(list.Out).size());

  // By name through the archives, and the extracted file given as LEVEL (its images from the same
  // archives): the same figures but for the file's name. Four programs run at a time.
  testsupport::TTempDir work;
  std::vector<std::pair<std::string, std::string>> levels(extracted.begin(), extracted.end());
  constexpr std::size_t kAtOnce = 4;
  for (std::size_t first = 0; first < levels.size(); first += kAtOnce) {
    std::vector<std::unique_ptr<testsupport::TStartedProgram>> byName, byFile;
    const std::size_t end = std::min(levels.size(), first + kAtOnce);
    for (std::size_t i = first; i < end; ++i) {
      const std::string name = fs::path(levels[i].first).stem();
      byName.push_back(std::make_unique<testsupport::TStartedProgram>(
          BSPWALK_PROGRAM, std::vector<std::string>{"--data", baseoa, "--info", "--json", name},
          work.Path()));
      byFile.push_back(std::make_unique<testsupport::TStartedProgram>(
          BSPWALK_PROGRAM,
          std::vector<std::string>{"--data", baseoa, "--info", "--json", levels[i].second},
          work.Path()));
    }
    for (std::size_t k = 0; k < byName.size(); ++k) {
      SCOPED_TRACE(levels[first + k].first);
      ASSERT_EQ(byName[k]->WaitForExit(std::chrono::seconds(120)), 0) << byName[k]->Err();
      ASSERT_EQ(byFile[k]->WaitForExit(std::chrono::seconds(120)), 0) << byFile[k]->Err();
      json a = json::parse(byName[k]->Out()), b = json::parse(byFile[k]->Out());
      EXPECT_EQ(a["FileSize"], fs::file_size(levels[first + k].second));
      a.erase("File");
      b.erase("File");
      EXPECT_EQ(a, b);
    }
  }
}

TEST(GameData, ScreenshotThroughTheArchivesEqualsTheLooseFiles) {
  const std::vector<std::string> archives = OpenArenaArchives();
  if (archives.empty()) GTEST_SKIP() << "OpenArena's data is not installed";
  const std::string baseoa = fs::path(testsupport::OpenArenaArchive("pak0.pk3")).parent_path();
  // The level and every image it may name, extracted archive by archive in the game's order, the
  // later one replacing the earlier.
  testsupport::TTempDir loose, empty;
  const auto unzip = [&](const std::string& pak, const std::vector<std::string>& names) {
    std::string command = "unzip -qq -o -C " + testsupport::OpenArenaArchive(pak);
    for (const std::string& name : names) command += " '" + name + "'";
    const int status = std::system((command + " -d " + loose.Path() + " >/dev/null 2>&1").c_str());
    // 11: nothing matched, the usual answer for most archives.
    ASSERT_TRUE(WIFEXITED(status) && (WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 11)) << command;
  };
  for (const std::string& pak : archives) unzip(pak, {"maps/oa_dm1.bsp"});
  std::vector<std::string> images;
  for (const TBSPTexture& texture : ParseBSP(testsupport::ReadFile(loose / "maps/oa_dm1.bsp")).Textures)
    for (const char* extension : {".jpg", ".tga"})
      images.push_back(TextureBaseName(texture) + extension);
  for (const std::string& pak : archives) unzip(pak, images);
  const std::vector<std::string> shot = {"--screenshot", "shot.png", "--size", "200x150", "--verbose"};
  std::vector<std::string> byFile = shot, byName = shot;
  byFile.push_back("maps/oa_dm1.bsp");
  byName.insert(byName.end(), {"--data", baseoa, "oa_dm1"});
  const TRun a = testsupport::RunProgram(BSPWALK_PROGRAM, byFile, loose.Path());
  const TRun b = testsupport::RunProgram(BSPWALK_PROGRAM, byName, empty.Path());
  ASSERT_EQ(a.ExitCode, 0) << a.Err;
  ASSERT_EQ(b.ExitCode, 0) << b.Err;
  // The same images found (most of them), and the same picture.
  const auto imagesLine = [](const std::string& err) { return err.substr(err.find(" textures: ")); };
  EXPECT_EQ(imagesLine(a.Err).substr(0, 40), imagesLine(b.Err).substr(0, 40));
  EXPECT_NE(a.Err.find("44 textures: 36 images found"), std::string::npos) << a.Err;
  EXPECT_EQ(testsupport::ReadFile(loose / "shot.png"), testsupport::ReadFile(empty / "shot.png"));
}

// A mistyped name in the whole of OpenArena's data: the closest levels, not every archive.
TEST(GameData, AMistypedNameInTheRealDataSuggestsTheClosestLevels) {
  const std::string any = testsupport::OpenArenaArchive("pak0.pk3");
  if (any.empty()) GTEST_SKIP() << "OpenArena's data is not installed";
  const std::string baseoa = fs::path(any).parent_path();
  testsupport::TTempDir work;
  const TRun run = testsupport::RunProgram(BSPWALK_PROGRAM, {"--data", baseoa, "--info", "oadm4"}, work.Path());
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(run.Err, "bspwalk: oadm4: no such level file (looked in " + work.Path() + ", " + baseoa +
                         "); did you mean oa_dm4, oa_dm1, oa_dm2? (bspwalk --list shows all)\n");
}

// The viewer with a LEVEL it cannot show: its message (in the box, or on standard error where no
// box can be shown) names the path, and the run ends with 1 without a window.
TEST(GameData, ViewerNamesALevelItCannotShowAndEndsWith1) {
  testsupport::TTempDir dir;
  testsupport::WriteFile(dir / "pic.png", {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0});
  testsupport::WriteZip(dir / "data.pk3", {{"maps/cut.bsp", "IBSP\x2e\0\0\0"}});
  const struct {
    std::vector<std::string> Args;
    std::string Err;
  } cases[] = {
      {{"pic.png"}, "bspwalk: pic.png is a PNG picture; bspwalk reads Quake 3 levels (IBSP version 46)\n"},
      {{"--data", dir / "data.pk3", "gone"},
       "bspwalk: gone: no such level file (looked in " + dir.Path() + ", " + dir / "data.pk3" +
           "); bspwalk --list shows all levels\n"},
      {{"--data", dir / "data.pk3", "cut"},
       "bspwalk: cut: not a BSP file (5 bytes, shorter than the header and lump directory)\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Args.back());
    testsupport::TStartedProgram viewer(BSPWALK_PROGRAM, c.Args, dir.Path(), "", {"DISPLAY="});
    EXPECT_EQ(viewer.WaitForExit(std::chrono::seconds(60)), 1);
    EXPECT_EQ(viewer.Err(), c.Err);
  }

  // With a display the message is a box; the run ends with 1 once it is read.
  testsupport::TXvfbServer server(320, 240);
  testsupport::TStartedProgram viewer(BSPWALK_PROGRAM, {"pic.png"}, dir.Path(), server.Display());
  std::string box;
  ASSERT_TRUE(testsupport::WaitUntil(
      [&] { return !(box = testsupport::WindowId(server.Display(), "bspwalk")).empty() || !viewer.Running(); },
      std::chrono::seconds(120)));
  ASSERT_FALSE(box.empty()) << viewer.Err();
  std::optional<int> exitCode;
  testsupport::WaitUntil(
      [&] {
        testsupport::Shell(server.Display(), "xdotool key --window " + box + " Return");
        return (exitCode = viewer.WaitForExit(std::chrono::seconds(2))).has_value();
      },
      std::chrono::seconds(120), std::chrono::milliseconds(0));
  EXPECT_EQ(exitCode, 1);
  EXPECT_EQ(viewer.Err(), "");
}

// Game data the person running the program may not read: one warning each, and the rest still
// found. Run as nobody when the tests run as root, since root reads everything.
TEST(GameData, UnreadableFoldersAndArchivesAreReportedAndSkipped) {
  testsupport::TTempDir dir;
  const std::string program = dir / "bspwalk";
  fs::copy_file(BSPWALK_PROGRAM, program);
  testsupport::TBspWriter level = TBspWriter::SmallLevel();
  fs::create_directories(dir / "locked");
  fs::create_directories(dir / "open/maps");
  level.WriteTo(dir / "open/maps/readable.bsp");
  testsupport::WriteZip(dir / "open/a.pk3", {{"maps/archived.bsp", Text(level.Bytes())}});
  fs::permissions(dir.Path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
  fs::permissions(dir / "locked", fs::perms::none);
  fs::permissions(dir / "open/a.pk3", fs::perms::none);
  std::vector<std::string> args{"--data", dir / "locked", "--data", dir / "open", "--list"};
  std::string runner = program;
  if (geteuid() == 0) {
    args.insert(args.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups", program});
    runner = "/usr/bin/setpriv";
  }
  // The sanitizers' settings name files in the checkout, which nobody may not be able to read.
  testsupport::TStartedProgram started(runner, args, dir.Path(), "",
                                       {"LSAN_OPTIONS=", "ASAN_OPTIONS=detect_leaks=0"});
  const TRun run{started.WaitForExit(std::chrono::seconds(60)).value_or(-1), started.Out(), started.Err()};
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Err, "bspwalk: warning: " + dir / "locked" + ": cannot read the folder (Permission denied)\n"
                     "bspwalk: warning: " + dir / "open/a.pk3" +
                     ": skipped, not a readable zip archive (Can't open file: Permission denied)\n");
  EXPECT_NE(run.Out.find("maps/readable.bsp"), std::string::npos) << run.Out;
}

// --watch with game data: a level read from its path and then deleted is gone (the game data
// holds no such name), and one cut short, as while it is being written, says where it ends.
TEST(GameData, AWatchedLevelThatIsGoneOrCutShortSaysSo) {
  testsupport::TTempDir dir;
  const std::string path = dir / "level.bsp";
  const std::vector<std::uint8_t> bytes = TBspWriter::SmallLevel().Bytes();
  testsupport::WriteFile(path, {bytes.begin(), bytes.begin() + 200});
  const data::TSearchPath search({}, dir.Path(), nullptr);
  const app::TRunLevel run{path, path, std::nullopt};
  const platform::TFileSource files = app::RunFileSource(run, search);
  const platform::TScopedFileSource source(files);
  TQuake3BSP level;
  EXPECT_EQ(app::ReloadLevel(level, path, {}, true),
            path + ": Read beyond end of file; cut short inside lump 1 (textures), which ends at byte 216");
  fs::remove(path);
  EXPECT_EQ(app::ReloadLevel(level, path, {}, true), path + ": the file is gone");
}

}  // namespace
