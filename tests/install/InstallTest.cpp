// `cmake --install` into a temporary root, moved elsewhere afterwards, and the Debian package
// unpacked: the program runs from there, finds its own font without a base folder, and has its
// man page and licences beside it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/BspWriter.h"
#include "support/Program.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

// Runs a shell command with its output in `log`; true on exit status 0.
bool Shell(const std::string& command, const std::string& log) {
  return std::system((command + " >" + log + " 2>&1").c_str()) == 0;
}

using testsupport::Quote;

std::string ReadText(const std::string& path) {
  const std::vector<std::uint8_t> bytes = testsupport::ReadFile(path);
  return std::string(bytes.begin(), bytes.end());
}

// What every installation must do: its version, --info on a real level, and a picture drawn in a
// folder without font.tga, using the installed one (no loader message about it).
void ExpectRunsFrom(const std::string& program, const std::string& levelFolder) {
  testsupport::TRun run = testsupport::RunProgram(program, {"--version"});
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Out, "bspwalk " BSPWALK_VERSION "\n");

  run = testsupport::RunProgram(program, {"--info", "maps/oa_dm1.bsp"}, levelFolder);
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_NE(run.Out.find("FaceCount"), std::string::npos) << run.Out;

  testsupport::TTempDir empty;
  fs::create_directory(empty / "lgmp");
  testsupport::TBspWriter::SmallLevel().WriteTo(empty / "small.bsp");
  run = testsupport::RunProgram(program, {"--screenshot", "shot.png", "--size", "32x24", "small.bsp"},
                                empty.Path());
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Err, "");
  EXPECT_TRUE(fs::exists(empty / "shot.png"));
}

// The files of an installation under `root` (a prefix of /usr): the man page and changelog
// compressed as Debian's policy asks, the copyright file in its machine-readable form.
void ExpectInstalledFiles(const std::string& root) {
  for (const char* file : {"usr/bin/bspwalk", "usr/share/bspwalk/font.tga",
                           "usr/share/man/man1/bspwalk.1.gz", "usr/share/doc/bspwalk/LICENSE",
                           "usr/share/doc/bspwalk/THIRD-PARTY-NOTICES.txt",
                           "usr/share/doc/bspwalk/LICENSE-font.txt", "usr/share/doc/bspwalk/copyright",
                           "usr/share/doc/bspwalk/changelog.gz"})
    EXPECT_TRUE(fs::is_regular_file(root + "/" + file)) << file;
  ASSERT_TRUE(Shell("gzip -dc " + Quote(root + "/usr/share/man/man1/bspwalk.1.gz"), root + ".man.txt"));
  std::string manText = ReadText(root + ".man.txt");
  for (std::size_t at; (at = manText.find("\\-")) != std::string::npos;) manText.erase(at, 1);
  for (const char* option : {"--screenshot", "--info", "JSON Lines"})
    EXPECT_NE(manText.find(option), std::string::npos) << option;
  EXPECT_EQ(ReadText(root + "/usr/share/doc/bspwalk/copyright").rfind("Format: https://www.debian.org/", 0), 0u);
}

class Install : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    LevelFolder = testsupport::ExtractOpenArena("pak1-maps.pk3", {"maps/oa_dm1.bsp"});
  }
  static std::string LevelFolder;
  testsupport::TTempDir Root;
};
std::string Install::LevelFolder;

// Right after a build of the program alone (as scripts/run builds it), installing builds the man
// page and changelog it installs.
TEST_F(Install, IntoATemporaryRootThenMovedElsewhere) {
  const std::string first = Root / "first", moved = Root / "moved";
  for (const char* built : {"bspwalk.1", "bspwalk.1.gz", "changelog.gz"})
    fs::remove(std::string(BSPWALK_BUILD_DIR) + "/" + built);
  ASSERT_TRUE(Shell(std::string(BSPWALK_CMAKE) + " --install " + Quote(BSPWALK_BUILD_DIR) +
                        " --prefix " + Quote(first + "/usr"),
                    Root / "install.log"))
      << ReadText(Root / "install.log");
  fs::rename(first, moved);
  ExpectInstalledFiles(moved);
  ExpectRunsFrom(moved + "/usr/bin/bspwalk", LevelFolder);
}

TEST_F(Install, TheDebianPackageDeclaresItsLibrariesAndRunsUnpacked) {
  if (std::system("command -v dpkg-deb >/dev/null && command -v dpkg-shlibdeps >/dev/null") != 0)
    GTEST_SKIP() << "dpkg-deb or dpkg-shlibdeps missing (scripts/install-deps installs dpkg-dev)";
  const std::string packages = Root / "packages";
  ASSERT_TRUE(Shell(std::string(BSPWALK_CPACK) + " -G DEB --config " +
                        Quote(std::string(BSPWALK_BUILD_DIR) + "/CPackConfig.cmake") + " -B " +
                        Quote(packages),
                    Root / "cpack.log"))
      << ReadText(Root / "cpack.log");
  const std::string deb = packages + "/bspwalk_" BSPWALK_VERSION "_amd64.deb";
  ASSERT_TRUE(fs::exists(deb));
  ASSERT_TRUE(Shell("dpkg-deb -f " + Quote(deb) + " Depends", Root / "depends.txt"));
  const std::string dependsText = ReadText(Root / "depends.txt");
  for (const char* package : {"libsdl2-2.0-0", "libjpeg62-turbo", "libpng16-16", "libgl1-mesa-dri"})
    EXPECT_NE(dependsText.find(package), std::string::npos) << dependsText;
  ASSERT_TRUE(Shell("dpkg-deb -x " + Quote(deb) + " " + Quote(Root / "unpacked"), Root / "x.log"));
  ExpectInstalledFiles(Root / "unpacked");
  ExpectRunsFrom(Root / "unpacked/usr/bin/bspwalk", LevelFolder);
}

// Debian's package checker finds no error in the package (its warnings may stay).
TEST_F(Install, LintianFindsNoErrorInTheDebianPackage) {
  if (std::system("command -v lintian >/dev/null && command -v dpkg-shlibdeps >/dev/null") != 0)
    GTEST_SKIP() << "lintian or dpkg-shlibdeps missing (scripts/install-deps installs them)";
  ASSERT_TRUE(Shell(std::string(BSPWALK_CPACK) + " -G DEB --config " +
                        Quote(std::string(BSPWALK_BUILD_DIR) + "/CPackConfig.cmake") + " -B " +
                        Quote(Root.Path()),
                    Root / "cpack.log"))
      << ReadText(Root / "cpack.log");
  const bool passed = Shell("lintian --fail-on error " + Quote(Root / "bspwalk_" BSPWALK_VERSION "_amd64.deb"),
                            Root / "lintian.txt");
  const std::string report = ReadText(Root / "lintian.txt");
  EXPECT_TRUE(passed) << report;
  for (const std::string& line : testsupport::Lines(report)) EXPECT_NE(line.rfind("E: ", 0), 0u) << line;
}

}  // namespace
