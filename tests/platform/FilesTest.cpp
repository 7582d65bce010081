#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/Budget.h"
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

// A file of the working directory is read whole up to 64 MiB; a larger one, a FIFO (which would
// wait for a writer) or a device is not read at all.
TEST(Files, OnlyRegularFilesUpTo64MiBAreRead) {
  testsupport::TTempDir dir;
  testsupport::TScopedWorkingDir inDir(dir.Path());
  for (const auto& [name, size] : {std::pair{"edge.bin", platform::kMaxFileBytes}, {"over.bin", platform::kMaxFileBytes + 1}}) {
    testsupport::WriteFile(name, {1, 2, 3});
    std::filesystem::resize_file(name, size);  // sparse
  }
  ASSERT_EQ(mkfifo("fifo.bin", 0600), 0);
  const auto edge = platform::ReadWholeFile("edge.bin");
  ASSERT_TRUE(edge.has_value());
  EXPECT_EQ(edge->size(), platform::kMaxFileBytes);
  EXPECT_EQ((*edge)[2], 3);
  EXPECT_FALSE(platform::ReadWholeFile("over.bin").has_value());
  EXPECT_FALSE(platform::ReadWholeFile("fifo.bin").has_value());
  EXPECT_FALSE(platform::ReadWholeFile("/dev/zero").has_value());
}
