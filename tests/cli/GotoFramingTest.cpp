// --goto frames its entity on OpenArena's levels: a point entity's marker is read back near the
// centre of the picture, and a brush entity's pose lies inside the level's sealed space.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/Picture.h"
#include "support/Program.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

std::string GameData() {
  const std::string pak = testsupport::OpenArenaArchive("pak0.pk3");
  return pak.empty() ? "" : fs::path(pak).parent_path().string();
}

// Pixels of the middle half of the picture in one of the shades a marker of `colour` is drawn in.
int MarkerPixels(const testsupport::TPicture& picture, std::array<int, 3> colour) {
  int count = 0;
  for (int y = picture.Height / 4; y < picture.Height * 3 / 4; ++y)
    for (int x = picture.Width / 4; x < picture.Width * 3 / 4; ++x) {
      const std::array<int, 3> p = picture.At(x, y);
      for (const float light : {1.0f, 0.45f, 0.75f, 0.6f}) {
        bool near = true;
        for (int c = 0; c < 3; ++c) near = near && std::abs(p[c] - static_cast<int>(colour[c] * light)) <= 6;
        if (near) {
          ++count;
          break;
        }
      }
    }
  return count;
}

TEST(GotoFraming, ThePoseSeesItsEntity) {
  const std::string data = GameData();
  if (data.empty()) GTEST_SKIP() << "OpenArena's data is not installed";
  testsupport::TTempDir work;
  const struct {
    const char* Level;
    const char* Entity;
    std::array<int, 3> Colour;  // its marker's: 0 for a brush entity, which has none
  } cases[] = {
      {"oa_dm2", "item_quad", {230, 60, 230}},
      {"ctf_inyard", "team_CTF_redflag", {230, 60, 230}},
      {"oa_dm4", "weapon_railgun", {255, 140, 0}},
      {"oa_dm4", "trigger_teleport", {0, 0, 0}},
      {"kaos2", "func_door", {0, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Level) + " " + c.Entity);
    const testsupport::TRun run = testsupport::RunProgram(
        BSPWALK_PROGRAM, {"--data", data, "--goto", c.Entity, "--mode", "entities", "--no-hud", "--size", "96x72",
                          "--screenshot", "goto.png", c.Level},
        work.Path());
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(run.Err.find("outside the level's sealed space"), std::string::npos) << run.Err;
    if (c.Colour[0] == 0) continue;
    const testsupport::TPicture picture = testsupport::ReadPNG(work.Path() + "/goto.png");
    ASSERT_EQ(picture.Width, 96);
    EXPECT_GE(MarkerPixels(picture, c.Colour), 4);
  }
}

}  // namespace
