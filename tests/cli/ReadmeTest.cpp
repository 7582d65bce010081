// The README's first screen as a new user meets it: every command block marked runnable runs as
// written against OpenArena's data, from a folder where build/src/bspwalk is the program built
// here, and every example names its game data.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/Program.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The fenced blocks that follow a "<!-- runnable -->" line.
std::vector<std::string> RunnableBlocks(const std::string& text) {
  std::vector<std::string> blocks;
  const std::string mark = "<!-- runnable -->\n```sh\n";
  for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + 1)) {
    const std::size_t first = at + mark.size();
    const std::size_t end = text.find("\n```", first);
    if (end == std::string::npos) break;
    blocks.push_back(text.substr(first, end + 1 - first));
  }
  return blocks;
}

TEST(Readme, TheFirstScreenSaysWhereTheProgramIsAndEveryExampleNamesItsData) {
  const std::string text = ReadText(std::string(BSPWALK_SOURCE_DIR) + "/README.md");
  const std::string firstScreen = text.substr(0, text.find("## Every day"));
  for (const char* needed : {"scripts/run", "scripts/test", "build/src/bspwalk", "man build/bspwalk.1", "docs/"})
    EXPECT_NE(firstScreen.find(needed), std::string::npos) << needed;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);)
    if (line.find("build/src/bspwalk --") != std::string::npos && line.find("--help") == std::string::npos) {
      EXPECT_TRUE(line.find("--data") != std::string::npos || line.find("BSPWALK_DATA") != std::string::npos) << line;
    }
}

TEST(Readme, RunnableBlocksRunAsWritten) {
  const std::string pak = testsupport::OpenArenaArchive("pak0.pk3");
  if (pak.empty() || !fs::exists("/usr/share/games/openarena/baseoa")) GTEST_SKIP() << "OpenArena's data is not installed";
  const std::vector<std::string> blocks = RunnableBlocks(ReadText(std::string(BSPWALK_SOURCE_DIR) + "/README.md"));
  ASSERT_FALSE(blocks.empty());
  testsupport::TTempDir work;
  fs::create_directories(fs::path(work.Path()) / "build/src");
  fs::create_symlink(BSPWALK_PROGRAM, fs::path(work.Path()) / "build/src/bspwalk");
  for (const std::string& block : blocks) {
    SCOPED_TRACE(block);
    const testsupport::TRun run = testsupport::RunProgram("/bin/bash", {"-e", "-c", block}, work.Path());
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(run.Err, "");
    EXPECT_FALSE(run.Out.empty());
  }
}

}  // namespace
