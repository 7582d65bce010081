// A file written whole or not at all: after a failure or an interrupting signal the old file is
// byte for byte what it was and no temporary is left beside it.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <set>

#include "platform/AtomicFile.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using platform::TAtomicFile;

namespace {

const std::vector<std::uint8_t> kOld{'o', 'l', 'd'};

std::set<std::string> Names(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
  return names;
}

TEST(AtomicFile, PutInPlaceOnlyWhenComplete) {
  const struct {
    const char* Label;
    std::function<void(TAtomicFile&)> Finish;  // after "new" was written; may throw
    std::string Kept;                          // keep.png afterwards
    std::set<std::string> Left;
  } cases[] = {
      {"committed", [](TAtomicFile& f) { f.Commit(); }, "new", {"keep.png"}},
      {"failed", [](TAtomicFile&) { throw std::runtime_error("full disk"); }, "old", {"keep.png"}},
      {"name taken", [](TAtomicFile& f) { EXPECT_FALSE(f.CommitNew("keep.png")); }, "old", {"keep.png"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Label);
    testsupport::TTempDir dir;
    testsupport::TScopedWorkingDir cwd(dir.Path());
    testsupport::WriteFile("keep.png", kOld);
    fs::permissions("keep.png", fs::perms(0640));
    try {
      TAtomicFile file("keep.png");
      std::fputs("new", file.Stream());
      EXPECT_EQ(Names(dir.Path()).size(), 2u);  // the temporary beside it
      c.Finish(file);
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(testsupport::ReadFile("keep.png"), std::vector<std::uint8_t>(c.Kept.begin(), c.Kept.end()));
    EXPECT_EQ(Names(dir.Path()), c.Left);
    EXPECT_EQ(fs::status("keep.png").permissions(), fs::perms(0640));
  }
  // A link, even a dangling one, stays a link to the new file; a missing folder is an error.
  testsupport::TTempDir dir;
  fs::create_symlink("real.png", dir / "link.png");
  platform::WriteFileAtomically(dir / "link.png", kOld);
  EXPECT_EQ(testsupport::ReadFile(dir / "real.png"), kOld);
  EXPECT_TRUE(fs::is_symlink(dir / "link.png"));
  EXPECT_THROW(TAtomicFile(dir / "missing/x.png"), std::system_error);
}

// A child is ended by the signal while the temporary is half written: it dies of that signal, as
// it would have without the handler, and takes the temporary with it.
TEST(AtomicFile, AnInterruptedWriteLeavesTheOldFileAndNoTemporary) {
  for (const int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal);
    testsupport::TTempDir dir;
    testsupport::WriteFile(dir / "keep.png", kOld);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
      std::signal(signal, SIG_DFL);  // as a program started from a terminal has it
      TAtomicFile file(dir / "keep.png");
      std::fputs(std::string(1 << 20, 'x').c_str(), file.Stream());
      std::fflush(file.Stream());
      (void)!::write(ready[1], "r", 1);
      ::pause();
      ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]), ::close(ready[1]);
    EXPECT_EQ(Names(dir.Path()).size(), 2u);
    ::kill(child, signal);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"keep.png"});
    EXPECT_EQ(testsupport::ReadFile(dir / "keep.png"), kOld);
  }
  // A signal the program ignores (a background job's SIGINT) stays ignored.
  testsupport::TTempDir dir;
  const auto previous = std::signal(SIGINT, SIG_IGN);
  {
    const TAtomicFile file(dir / "x.png");
    EXPECT_EQ(std::signal(SIGINT, SIG_IGN), SIG_IGN);
  }
  std::signal(SIGINT, previous);
}

// The files of one output replace the old ones all together or not at all: a signal at any step
// (while writing, or between two renames, where it waits) and a rename that fails.
TEST(AtomicFile, FilesOfOneOutputReplaceAllOrNone) {
  const std::vector<std::uint8_t> kNew{'n', 'e', 'w'};
  for (std::size_t stop = 0; stop < 7; ++stop) {  // 3 writes, 3 renames; 6: a failing rename
    SCOPED_TRACE(stop);
    testsupport::TTempDir dir;
    for (const char* name : {"a.bin", "b.png", "c.gltf"}) testsupport::WriteFile(dir / name, kOld);
    if (stop == 6) fs::remove(dir / "b.png"), fs::create_directory(dir / "b.png");
    const pid_t child = ::fork();
    if (child == 0) {
      std::signal(SIGINT, SIG_DFL);
      const std::vector<platform::TFileBytes> files{{dir / "a.bin", kNew}, {dir / "b.png", kNew}, {dir / "c.gltf", kNew}};
      try {
        platform::WriteFilesTogether(files, [stop](std::size_t step) {
          if (step == stop) ::raise(SIGINT);
        });
      } catch (const std::system_error&) {
        ::_exit(3);
      }
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    const bool renaming = stop >= 3 && stop < 6;
    if (stop == 6) EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << status;
    else EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    const std::set<std::string> names{"a.bin", "b.png", "c.gltf"};
    EXPECT_EQ(Names(dir.Path()), names);
    for (const char* name : {"a.bin", "c.gltf"})
      EXPECT_EQ(testsupport::ReadFile(dir / name), renaming ? kNew : kOld) << name;
  }
}

}  // namespace
