// What a level designer is told: the messages of runs that found nothing (an empty --list, a
// --class that matches no entity, a mistyped --goto class), the view modes --mode names, --view
// in the level editor's convention, and a long note wrapped on screen.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/cli/CommandLine.h"
#include "app/viewer/ViewModes.h"
#include "level/EditorView.h"
#include "support/Program.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using testsupport::TRun;

namespace {

std::string GameData() {
  const std::string pak = testsupport::OpenArenaArchive("pak0.pk3");
  return pak.empty() ? "" : fs::path(pak).parent_path().string();
}

TEST(DesignerMessages, RunsThatFindNothingSaySo) {
  const std::string data = GameData();
  if (data.empty()) GTEST_SKIP() << "OpenArena's data is not installed";
  testsupport::TTempDir dir;
  const std::string work = fs::canonical(dir.Path()).string();
  fs::create_directory(work + "/empty");
  const struct {
    std::vector<std::string> Args;
    int ExitCode;
    std::string Err;  // standard error exactly
  } cases[] = {
      {{"--data", work + "/empty", "--list"}, 1,
       "bspwalk: --list: no levels (maps/*.bsp) found in " + work + ", " + work +
           "/empty; --data names the folder that holds maps/ or the .pk3 files\n"},
      {{"--data", data, "--entities", "--class", "nonexistent_*", "oa_dm2"}, 0,
       "bspwalk: oa_dm2: no entity's class matches 'nonexistent_*' (bspwalk --info lists the classes)\n"},
      {{"--data", data, "--goto", "item_qaud", "--screenshot", "x.png", "oa_dm2"}, 1,
       "bspwalk: oa_dm2: --goto item_qaud: no entity of class item_qaud has a place; did you mean item_quad?\n"},
      {{"--data", data, "--goto", "weapon_zzzzzzzzzz:2", "--screenshot", "x.png", "oa_dm2"}, 1,
       "bspwalk: oa_dm2: --goto weapon_zzzzzzzzzz:2: no entity of class weapon_zzzzzzzzzz has a place\n"},
      {{"--mode", "wirefram", "--screenshot", "x.png", "oa_dm2"}, 2,
       "bspwalk: --mode: 'wirefram' is not one of textures, lightmaps, wireframe, clusters, entities "
       "(see bspwalk --help)\n"},
      {{"--view", "1,2,3,0", "oa_dm2"}, 2,
       "bspwalk: --view: '1,2,3,0' has 4 values, expected 5 separated by commas (see bspwalk --help)\n"},
      {{"--view", "1,2,3,0,0", "--camera", "1,2,3,0,0", "oa_dm2"}, 2,
       "bspwalk: --view and --camera cannot be combined (see bspwalk --help)\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Args[c.Args.size() - 2]);
    const TRun run = testsupport::RunProgram(BSPWALK_PROGRAM, c.Args, work);
    EXPECT_EQ(run.ExitCode, c.ExitCode);
    EXPECT_EQ(run.Err, c.Err);
    if (c.Args[2] == "--entities") {
      EXPECT_EQ(run.Out, "");
    }
  }
}

TEST(DesignerMessages, InfoNamesTexturesDrawnByTheirStages) {
  const std::string data = GameData();
  if (data.empty()) GTEST_SKIP() << "OpenArena's data is not installed";
  const TRun run = testsupport::RunProgram(BSPWALK_PROGRAM, {"--data", data, "--info", "--shaders", "kaos2"});
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_NE(run.Out.find("  textures/skies/pj_arena4_sky                             stages     36 faces  shader      sky\n"),
            std::string::npos) << run.Out;
  const TRun plain = testsupport::RunProgram(BSPWALK_PROGRAM, {"--data", data, "--info", "kaos2"});
  EXPECT_NE(plain.Out.find("  textures/skies/pj_arena4_sky                             none      36 faces\n"),
            std::string::npos) << "without --shaders, as always";
}

TEST(DesignerMessages, ViewTakesTheEditorsAngleAndPitch) {
  const struct {
    const char* View;
    float Yaw, Pitch;  // the camera's
  } cases[] = {{"1,2,3,0,0", 90, 270}, {"1,2,3,90,0", 0, 270}, {"1,2,3,180,90", -90, 360}, {"1,2,3,270,-45", -180, 225}};
  for (const auto& c : cases) {
    std::vector<const char*> argv{"bspwalk", "--view", c.View, "--screenshot", "x.png", "a.bsp"};
    std::ostringstream out, err;
    const app::TParseResult r = app::ParseCommandLine(static_cast<int>(argv.size()), argv.data(), out, err);
    ASSERT_TRUE(r.Options) << err.str();
    const app::TCameraPose pose = *r.Options->Camera;
    EXPECT_EQ(pose.X, 1);
    EXPECT_EQ(pose.Z, 3);
    EXPECT_EQ(pose.Yaw, c.Yaw) << c.View;
    EXPECT_EQ(pose.Pitch, c.Pitch) << c.View;
    // and back, as Tab's line shows it
    const std::string view = c.View;
    EXPECT_EQ(EditorAngleOfYaw(pose.Yaw), std::stof(view.substr(6)));
    EXPECT_EQ(EditorPitchOfCamera(pose.Pitch), std::stof(view.substr(view.rfind(',') + 1)));
  }
}

TEST(DesignerMessages, LongNotesWrapAtSpacesAndSlashes) {
  const struct {
    std::string Text;
    std::size_t Columns;
    std::vector<std::string> Lines;
  } cases[] = {
      {"short", 20, {"short"}},
      {"", 20, {""}},
      {"Reload failed, old level kept: /a/b/c.bsp: cut short", 20,
       {"Reload failed, old", "level kept: /a/b/", "c.bsp: cut short"}},
      {"abcdefghijklmnopqrstuvwxyz", 10, {"abcdefghij", "klmnopqrst", "uvwxyz"}},
  };
  for (const auto& c : cases) EXPECT_EQ(app::WrapText(c.Text, c.Columns), c.Lines) << c.Text;
}

}  // namespace
