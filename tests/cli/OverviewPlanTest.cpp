// The overview as a plan: the grid's spacing, the items' short names, the labels' texts and
// places, and the labels read back from the picture --overview --mode entities writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/runs/OverviewPlan.h"
#include "support/Picture.h"
#include "support/Program.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

TEST(OverviewPlan, GridStepShortNamesAndLabels) {
  app::TOverviewFrame frame;
  frame.Left = -1000, frame.Right = 1100, frame.Bottom = -300, frame.Top = 800;
  frame.Width = 1050, frame.Height = 550, frame.UnitsPerPixel = 2;
  EXPECT_EQ(app::GridStep(frame), 512);
  app::TOverviewFrame wide = frame;
  wide.Right = 20000;
  EXPECT_EQ(app::GridStep(wide), 2048) << "at most 16 lines each way";
  wide.Right = 1e38;
  EXPECT_LE(wide.Right / app::GridStep(wide), 16) << "a huge frame ends its doubling";

  const std::pair<const char*, const char*> names[] = {
      {"item_quad", "quad"}, {"weapon_railgun", "railgun"}, {"team_CTF_redflag", "redflag"},
      {"holdable_teleporter", "teleporter"}, {"item_", "item_"}, {"func_door", "func_door"}};
  for (const auto& [name, shortName] : names) EXPECT_EQ(app::ShortName(name), shortName);

  TPlacedEntity quad, shells;
  quad.ClassName = "item_quad", quad.Family = TEntityFamily::Item, quad.Position = {100, 200, 0};
  shells.ClassName = "ammo_shells", shells.Family = TEntityFamily::Ammo;
  TSpawnPoint spawn;
  spawn.Origin = {-1000, -300, 0};
  const std::vector<app::TOverviewLabel> labels = app::PlanLabels(frame, {quad, shells}, {spawn, spawn});
  std::vector<std::string> texts;
  for (const auto& label : labels) texts.push_back(label.Text);
  EXPECT_EQ(texts, (std::vector<std::string>{"-512", "0", "512", "1024", "0", "512", "quad", "1", "2"}));
  EXPECT_EQ(labels[0].Y, 550 - 18) << "along the top";
  EXPECT_EQ(labels[6].X, 554);  // (100 + 1000) / 2 + 4
  EXPECT_EQ(labels[7].X, 7);
}

TEST(OverviewPlan, TheLabelsShowInThePicture) {
  const std::string pak = testsupport::OpenArenaArchive("pak0.pk3");
  if (pak.empty()) GTEST_SKIP() << "OpenArena's data is not installed";
  const std::string data = fs::path(pak).parent_path().string();
  testsupport::TTempDir work;
  const auto whitePixels = [&](const std::vector<std::string>& extra) {
    std::vector<std::string> args{"--data", data, "--size", "512x384", "--overview", "o.png", "oa_dm4"};
    args.insert(args.begin(), extra.begin(), extra.end());
    const testsupport::TRun run = testsupport::RunProgram(BSPWALK_PROGRAM, args, work.Path());
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    const testsupport::TPicture picture = testsupport::ReadPNG(work.Path() + "/o.png");
    int count = 0;
    for (int y = 0; y < picture.Height; ++y)
      for (int x = 0; x < picture.Width; ++x) count += picture.At(x, y) == std::array<int, 3>{255, 255, 255};
    return count;
  };
  const int plain = whitePixels({}), plan = whitePixels({"--mode", "entities"});
  // Each label's glyphs are pure white: tens of labels of several characters.
  EXPECT_GT(plan, plain + 2000) << plain << " " << plan;
}

}  // namespace
