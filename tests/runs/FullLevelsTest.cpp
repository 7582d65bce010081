// Every OpenArena level of Debian's packages loaded and drawn as `--full --time 1 --screenshot`
// does it, in process and small: in the sanitizer build this is the shaders' stages, deforms, fog,
// billboards and sky of every real script and level under the address and behaviour checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "app/cli/CommandLine.h"
#include "app/cli/GameData.h"
#include "app/cli/Launch.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

TEST(FullLevels, EveryOpenArenaLevelDrawsAFullPictureAtOneSecond) {
  const std::string pak0 = testsupport::OpenArenaArchive("pak0.pk3");
  ASSERT_FALSE(pak0.empty()) << "OpenArena not installed";
  const std::string data = fs::path(pak0).parent_path().string();
  std::vector<std::string> levels;
  for (const fs::directory_entry& entry : fs::directory_iterator(data))
    if (entry.path().extension() == ".pk3")
      for (const std::string& member : testsupport::ListOpenArena(entry.path().filename().string(), ".bsp"))
        if (member.starts_with("maps/") && member.find('/', 5) == std::string::npos)
          levels.push_back(fs::path(member).stem().string());
  std::sort(levels.begin(), levels.end());
  levels.erase(std::unique(levels.begin(), levels.end()), levels.end());
  EXPECT_GE(levels.size(), 85u);

  testsupport::TTempDir folder;
  for (const std::string& level : levels) {
    const std::string picture = folder / (level + ".png");
    const char* argv[] = {"bspwalk", "--full", "--time", "1", "--size", "96x64", "--screenshot",
                          picture.c_str(), "--data", data.c_str(), level.c_str()};
    std::ostringstream out, err;
    app::TParseResult parsed = app::ParseCommandLine(static_cast<int>(std::size(argv)), argv, out, err);
    ASSERT_TRUE(parsed.Options) << err.str();
    app::ApplyViewOptions(*parsed.Options);
    EXPECT_EQ(app::RunWithGameData(*parsed.Options), 0) << level;
    EXPECT_TRUE(fs::is_regular_file(picture)) << level;
  }
}

}  // namespace
