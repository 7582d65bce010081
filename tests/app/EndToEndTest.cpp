// The real program on a private X server, as a person uses it: started in a folder holding a real
// OpenArena level, watched through screenshots, driven with xdotool's keys and mouse, ended with
// Esc. And started without a level, where it shows its message and ends.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "XvfbServer.h"
#include "app/LevelFile.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
// The level whose fixed start point (200, 500, 700) lies inside it.
constexpr const char* kLevel = "maps/kaos2.bsp";

std::string Quote(const std::string& s) {
  std::string quoted = "'";
  for (char c : s) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs a shell command on the display and returns its standard output.
std::string Shell(const std::string& display, const std::string& command) {
  const std::string full = "DISPLAY=" + display + " " + command + " 2>/dev/null";
  std::string out;
  if (FILE* pipe = popen(full.c_str(), "r")) {
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

struct TScreen {
  std::vector<std::uint8_t> Rgb;  // top row first
  const std::uint8_t* At(int x, int y) const {
    return &Rgb[(static_cast<std::size_t>(y) * kWidth + x) * 3];
  }
  bool Valid() const { return Rgb.size() == static_cast<std::size_t>(kWidth) * kHeight * 3; }
};

TScreen Capture(const std::string& display, const std::string& folder) {
  const std::string file = folder + "/screen.rgb";
  Shell(display, "import -window root -depth 8 rgb:" + Quote(file));
  TScreen screen;
  std::ifstream in(file, std::ios::binary);
  screen.Rgb.assign(std::istreambuf_iterator<char>(in), {});
  return screen;
}

// Share of pixels in the rectangle that are not black.
double LitShare(const TScreen& s, int x0, int y0, int x1, int y1) {
  long lit = 0, all = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x, ++all) {
      const std::uint8_t* p = s.At(x, y);
      if (p[0] > 16 || p[1] > 16 || p[2] > 16) ++lit;
    }
  return all ? static_cast<double>(lit) / all : 0;
}

// Share of pixels in the rectangle whose colour changed by more than a little.
double ChangedShare(const TScreen& a, const TScreen& b, int x0, int y0, int x1, int y1) {
  long changed = 0, all = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x, ++all) {
      const std::uint8_t* p = a.At(x, y);
      const std::uint8_t* q = b.At(x, y);
      if (std::abs(p[0] - q[0]) + std::abs(p[1] - q[1]) + std::abs(p[2] - q[2]) > 24) ++changed;
    }
  return all ? static_cast<double>(changed) / all : 0;
}

// The program, started in a folder on a display; killed if a test leaves it running.
class TProgram {
 public:
  TProgram(const std::string& folder, const std::string& display) : ErrFile(folder + "/stderr.txt") {
    Pid = fork();
    if (Pid == 0) {
      if (chdir(folder.c_str()) != 0) _exit(126);
      setenv("DISPLAY", display.c_str(), 1);
      const int err = open(ErrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(err, 2);
      const int null = open("/dev/null", O_RDWR);
      dup2(null, 0);
      dup2(null, 1);
      execl(BSPWALK_PROGRAM, BSPWALK_PROGRAM, static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~TProgram() {
    if (Pid > 0 && !Status) {
      kill(Pid, SIGKILL);
      waitpid(Pid, nullptr, 0);
    }
  }
  // The exit code once the program ended within the time, or nothing.
  std::optional<int> WaitForExit(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!Status && std::chrono::steady_clock::now() < end) {
      int status = 0;
      if (waitpid(Pid, &status, WNOHANG) == Pid) {
        Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        break;
      }
      std::this_thread::sleep_for(50ms);
    }
    return Status;
  }
  bool Running() { return !WaitForExit(0ms); }
  std::string Err() const {
    std::ifstream in(ErrFile);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  std::string ErrFile;
  pid_t Pid = -1;
  std::optional<int> Status;
};

// The window id of the top-level window with this title, as xwininfo lists it; empty if none.
std::string WindowId(const std::string& display, const std::string& title) {
  const std::string tree = Shell(display, "xwininfo -root -tree");
  const std::string needle = "\"" + title + "\"";
  std::size_t at = tree.find(needle);
  if (at == std::string::npos) return {};
  const std::size_t lineStart = tree.rfind('\n', at) + 1;
  const std::size_t idStart = tree.find_first_not_of(' ', lineStart);
  return tree.substr(idStart, tree.find(' ', idStart) - idStart);
}

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy_file(fs::path(BSPWALK_SOURCE_DIR) / "font.tga", Folder / "font.tga");
    fs::create_directory(Folder / "lgmp");
  }

  // A real level with the surface images it names, as scripts/run prepares it.
  void InstallLevel() {
    const fs::path data = testsupport::ExtractOpenArena("pak1-maps.pk3", {kLevel});
    fs::create_directory(Folder / "maps");
    fs::copy_file(data / kLevel, Folder / "maps/testmap.BSP");
    std::vector<std::string> patterns;
    for (const std::string& name : app::TLevelFile(Folder / "maps/testmap.BSP").TextureNames()) {
      patterns.push_back(name + ".jpg");
      patterns.push_back(name + ".tga");
    }
    for (const char* pak : {"pak0.pk3", "pak4-textures.pk3"}) {
      const fs::path images = testsupport::ExtractOpenArena(pak, patterns);
      for (const std::string& pattern : patterns) {
        if (!fs::exists(images / pattern)) continue;
        fs::create_directories(fs::path(Folder / pattern).parent_path());
        fs::copy_file(images / pattern, Folder / pattern, fs::copy_options::overwrite_existing);
      }
    }
  }

  testsupport::TTempDir Folder;
  apptest::TXvfbServer Server{kWidth, kHeight};
};

// The glyph texels of the repository's font.tga: 128 x 256, 8 x 16 cells, first row on top.
struct TFont {
  std::vector<std::uint8_t> Bytes;
  bool Set(unsigned code, int x, int y) const {
    const unsigned cell = (code + 255) % 256;
    const int column = static_cast<int>(cell % 16) * 8 + x;
    const int row = static_cast<int>(cell / 16) * 16 + y;
    return Bytes[18 + (static_cast<std::size_t>(row) * 128 + column) * 4 + 3] > 153;
  }
};

// Share of the glyph texels of heads-up line `line` (from 1) that show as white on the screen.
double GlyphsShown(const TScreen& screen, const TFont& font, int line, const std::string& text) {
  long shown = 0, all = 0;
  for (std::size_t i = 0; i < text.size(); ++i)
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 8; ++x) {
        if (!font.Set(static_cast<unsigned char>(text[i]), x, y)) continue;
        const std::uint8_t* p = screen.At(static_cast<int>(i) * 8 + x, 16 * line + y);
        ++all;
        if (p[0] > 240 && p[1] > 240 && p[2] > 240) ++shown;
      }
  return all ? static_cast<double>(shown) / all : 0;
}

// Holds a key down for a while: the frame loop reads the key table once per frame, so a press
// and release between two frames would not be seen.
void HoldKey(const std::string& display, const std::string& key, const std::string& seconds) {
  Shell(display, "xdotool keydown " + key + " sleep " + seconds + " keyup " + key);
}

TEST_F(EndToEndTest, FliesThroughARealLevelAndEndsWithEsc) {
  InstallLevel();
  TFont font{testsupport::ReadFile(std::string(BSPWALK_SOURCE_DIR) + "/font.tga")};
  ASSERT_EQ(font.Bytes.size(), 18u + 128u * 256u * 4u);
  TProgram program(Folder.Path(), Server.Display());

  // Loading takes a while; the window shows once it is done.
  TScreen first;
  const auto end = std::chrono::steady_clock::now() + 120s;
  while (std::chrono::steady_clock::now() < end && program.Running()) {
    first = Capture(Server.Display(), Folder.Path());
    if (first.Valid() && LitShare(first, 0, 0, kWidth, kHeight) > 0.5) break;
    std::this_thread::sleep_for(250ms);
  }
  ASSERT_TRUE(program.Running()) << program.Err();
  ASSERT_TRUE(first.Valid());
  EXPECT_GT(LitShare(first, 0, 160, kWidth, kHeight), 0.5);

  // The first frame turned the view by the cursor's offset from (160, 120): Xvfb starts the
  // cursor in the middle of the screen, (512, 384), so the view stands at pitch 259.2. 336 pixels
  // down turn it to 360: straight down onto the dark floor, where the white text stands out.
  Shell(Server.Display(), "xdotool mousemove 160 456");
  std::this_thread::sleep_for(1500ms);
  const TScreen down = Capture(Server.Display(), Folder.Path());
  ASSERT_TRUE(down.Valid());
  EXPECT_GT(ChangedShare(first, down, 0, 160, kWidth, kHeight), 0.1);
  EXPECT_GT(GlyphsShown(down, font, 1, "  bspwalk 0.1.0 (README.md)"), 0.95);
  EXPECT_GT(GlyphsShown(down, font, 2, "  url: README.md"), 0.95);
  EXPECT_GT(GlyphsShown(down, font, 6, "  X:200.00000"), 0.95);
  EXPECT_GT(GlyphsShown(down, font, 8, "  Z:700.00000"), 0.95);
  // Not just any white: the same glyphs one line lower are not there.
  EXPECT_LT(GlyphsShown(down, font, 2, "  bspwalk 0.1.0 (README.md)"), 0.6);

  // Standing still, the picture stays as it is.
  const TScreen still = Capture(Server.Display(), Folder.Path());
  EXPECT_LT(ChangedShare(down, still, 0, 160, kWidth, kHeight), 0.01);

  // W held for a moment flies down towards the floor: the picture and the Z line change.
  HoldKey(Server.Display(), "w", "0.8");
  std::this_thread::sleep_for(500ms);
  const TScreen moved = Capture(Server.Display(), Folder.Path());
  ASSERT_TRUE(moved.Valid());
  EXPECT_GT(ChangedShare(still, moved, 0, 160, kWidth, kHeight), 0.1);
  EXPECT_LT(GlyphsShown(moved, font, 8, "  Z:700.00000"), 0.95);
  EXPECT_GT(GlyphsShown(moved, font, 1, "  bspwalk 0.1.0 (README.md)"), 0.95);

  HoldKey(Server.Display(), "Escape", "0.8");
  const std::optional<int> exitCode = program.WaitForExit(20s);
  ASSERT_TRUE(exitCode.has_value()) << "Esc did not end the program";
  EXPECT_EQ(*exitCode, 0) << program.Err();
}

TEST_F(EndToEndTest, MissingLevelShowsItsMessageAndEndsWithoutAFrame) {
  TProgram program(Folder.Path(), Server.Display());
  std::string box;
  const auto end = std::chrono::steady_clock::now() + 60s;
  while (box.empty() && std::chrono::steady_clock::now() < end && program.Running()) {
    box = WindowId(Server.Display(), "Error");
    if (box.empty()) std::this_thread::sleep_for(100ms);
  }
  ASSERT_FALSE(box.empty()) << "no message box; standard error: " << program.Err();

  // The box (226 x 100 pixels, about 3 % of the screen) draws itself; the main window was never
  // shown.
  double boxShare = 0;
  const auto drawn = std::chrono::steady_clock::now() + 20s;
  while (boxShare < 0.02 && std::chrono::steady_clock::now() < drawn) {
    std::this_thread::sleep_for(200ms);
    const TScreen screen = Capture(Server.Display(), Folder.Path());
    if (screen.Valid())
      boxShare = LitShare(screen, 0, 0, kWidth, kHeight);
  }
  EXPECT_GT(boxShare, 0.02);
  const std::string main = WindowId(Server.Display(), "bspwalk");
  if (!main.empty()) {
    EXPECT_NE(Shell(Server.Display(), "xwininfo -id " + main).find("IsUnMapped"), std::string::npos);
  }

  Shell(Server.Display(), "xdotool key --window " + box + " Return");
  const std::optional<int> exitCode = program.WaitForExit(20s);
  ASSERT_TRUE(exitCode.has_value()) << "the program did not end after the message";
  EXPECT_EQ(*exitCode, 0);
  // Shown in the box, so not on standard error.
  EXPECT_EQ(program.Err().find("Could not find the BSP file!"), std::string::npos) << program.Err();
}

}  // namespace
