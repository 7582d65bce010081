#include <gtest/gtest.h>

#include <filesystem>

#include "platform/Files.h"
#include "support/TestSupport.h"

using namespace testsupport;

TEST(Files, BackslashesAndLetterCaseResolveToTheFileOnDisk) {
  TTempDir dir;
  std::filesystem::create_directories(dir / "Maps/Sub");
  WriteFile(dir / "Maps/Sub/TestMap.bsp", {1, 2, 3});
  TScopedWorkingDir cwd(dir.Path());

  EXPECT_EQ(platform::ResolvePath("maps\\sub\\testmap.BSP"), "Maps/Sub/TestMap.bsp");
  EXPECT_TRUE(platform::FileExists("maps\\sub\\testmap.BSP"));
  EXPECT_TRUE(platform::FileExists("Maps/Sub/TestMap.bsp"));
  EXPECT_FALSE(platform::FileExists("maps\\sub"));  // a directory is not a file
  EXPECT_TRUE(platform::DirectoryExists("MAPS\\SUB"));
  EXPECT_FALSE(platform::FileExists("maps\\sub\\other.bsp"));
  EXPECT_EQ(platform::ResolvePath("nothing\\here.tga"), "nothing/here.tga");

  const auto bytes = platform::ReadWholeFile("MAPS\\SUB\\TESTMAP.BSP");
  ASSERT_TRUE(bytes.has_value());
  EXPECT_EQ(*bytes, (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_FALSE(platform::ReadWholeFile("maps").has_value());
  EXPECT_FALSE(platform::ReadWholeFile("missing.bsp").has_value());
}

TEST(Files, AnExactMatchWinsOverOneThatDiffersInCase) {
  TTempDir dir;
  WriteFile(dir / "a.tga", {1});
  WriteFile(dir / "A.tga", {2});
  TScopedWorkingDir cwd(dir.Path());
  EXPECT_EQ(platform::ResolvePath("A.tga"), "A.tga");
  EXPECT_EQ(platform::ResolvePath("a.tga"), "a.tga");
  EXPECT_EQ(platform::ResolvePath("a.TGA"), "A.tga");  // sorted: 'A' < 'a'
}
