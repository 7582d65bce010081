// A file written whole or not at all: after a failure or an interrupting signal the old file is
// byte for byte what it was and no temporary is left beside it.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <set>
#include <stdexcept>

#include "platform/AtomicFile.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using testsupport::TTempDir;

namespace {

const std::vector<std::uint8_t> kOld{'o', 'l', 'd'};

std::set<std::string> Names(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
  return names;
}

void Write(platform::TAtomicFile& file, const std::string& text) {
  ASSERT_EQ(std::fwrite(text.data(), 1, text.size(), file.Stream()), text.size());
}

TEST(AtomicFile, PutInPlaceOnlyWhenComplete) {
  const struct {
    const char* Label;
    std::function<void(platform::TAtomicFile&)> Finish;  // may throw: the write failed
    std::string Expected;                                 // keep.png afterwards
    std::set<std::string> Left;
  } cases[] = {
      {"committed", [](platform::TAtomicFile& f) { Write(f, "new"); f.Commit(); }, "new", {"keep.png"}},
      {"failed midway", [](platform::TAtomicFile& f) { Write(f, "ne"); throw std::runtime_error("x"); },
       "old", {"keep.png"}},
      {"new name taken", [](platform::TAtomicFile& f) { Write(f, "new"); EXPECT_FALSE(f.CommitNew("keep.png")); },
       "old", {"keep.png"}},
      {"new name free", [](platform::TAtomicFile& f) { Write(f, "new"); EXPECT_TRUE(f.CommitNew("other.png")); },
       "old", {"keep.png", "other.png"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Label);
    TTempDir dir;
    testsupport::TScopedWorkingDir cwd(dir.Path());
    testsupport::WriteFile("keep.png", kOld);
    ::chmod("keep.png", 0640);
    try {
      platform::TAtomicFile file("keep.png");
      EXPECT_EQ(Names(dir.Path()).size(), 2u);  // the temporary beside it
      c.Finish(file);
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(testsupport::ReadFile("keep.png"), std::vector<std::uint8_t>(c.Expected.begin(), c.Expected.end()));
    EXPECT_EQ(Names(dir.Path()), c.Left);
    EXPECT_EQ(fs::status("keep.png").permissions(), fs::perms(0640));
  }
}

TEST(AtomicFile, ALinkStaysALinkAndAMissingFolderIsTheReason) {
  TTempDir dir;
  testsupport::WriteFile(dir / "real.png", kOld);
  fs::create_symlink("real.png", dir / "link.png");
  platform::WriteFileAtomically(dir / "link.png", std::vector<std::uint8_t>{'n', 'e', 'w'});
  EXPECT_TRUE(fs::is_symlink(dir / "link.png"));
  EXPECT_EQ(testsupport::ReadFile(dir / "real.png"), (std::vector<std::uint8_t>{'n', 'e', 'w'}));
  try {
    platform::TAtomicFile file(dir / "missing/x.png");
    FAIL() << "created";
  } catch (const std::system_error& e) {
    EXPECT_EQ(e.code(), std::errc::no_such_file_or_directory);
  }
  EXPECT_EQ(Names(dir.Path()), (std::set<std::string>{"real.png", "link.png"}));
}

// A child writing the file is ended by the signal while the temporary is half written: it dies of
// that signal, as it would have without the handler, and takes the temporary with it. A signal
// the program ignores stays ignored.
TEST(AtomicFile, AnInterruptedWriteLeavesTheOldFileAndNoTemporary) {
  for (const int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal);
    TTempDir dir;
    testsupport::WriteFile(dir / "keep.png", kOld);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      std::signal(signal, SIG_DFL);  // as a program started from a terminal has it
      platform::TAtomicFile file(dir / "keep.png");
      const std::vector<char> half(1 << 20, 'x');
      std::fwrite(half.data(), 1, half.size(), file.Stream());
      std::fflush(file.Stream());
      (void)!::write(ready[1], "r", 1);
      ::pause();
      ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_EQ(Names(dir.Path()).size(), 2u);
    ::kill(child, signal);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"keep.png"});
    EXPECT_EQ(testsupport::ReadFile(dir / "keep.png"), kOld);
  }

  TTempDir dir;
  const auto disposition = [] {
    struct sigaction current {};
    ::sigaction(SIGINT, nullptr, &current);
    return current.sa_handler;
  };
  const auto previous = std::signal(SIGINT, SIG_IGN);
  {
    platform::TAtomicFile file(dir / "x.png");
    EXPECT_EQ(disposition(), SIG_IGN);
  }
  std::signal(SIGINT, SIG_DFL);
  {
    platform::TAtomicFile file(dir / "x.png");
    EXPECT_NE(disposition(), SIG_DFL);
  }
  EXPECT_EQ(disposition(), SIG_DFL);  // the handler goes with the last temporary
  std::signal(SIGINT, previous);
}

}  // namespace
