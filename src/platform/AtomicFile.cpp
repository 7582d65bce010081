#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace platform {
namespace {

// The temporaries alive at one moment, as plain C strings that a signal handler may read. The
// program writes one file at a time; more than fit here go unguarded, still never half-written.
constexpr int kSlots = 32;
constexpr std::size_t kSlotBytes = 4096;
char LivePaths[kSlots][kSlotBytes];
std::atomic<bool> LiveSlots[kSlots];
static_assert(std::atomic<bool>::is_always_lock_free, "read inside a signal handler");

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kSignalCount = static_cast<int>(std::size(kSignals));

// Everything here is async-signal-safe: unlink, sigaction, raise. The signal ends the program as
// it would have without the handler (the handler stands only where that was the action).
void RemoveLiveTemporaries(int signal) {
  for (int i = 0; i < kSlots; ++i)
    if (LiveSlots[i].load()) ::unlink(LivePaths[i]);
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  ::sigaction(signal, &fallback, nullptr);
  ::raise(signal);  // blocked until the handler returns, then the default action
}

// The handler stands only while a temporary lives, and only over the default action: a signal
// the program ignores (a background job's SIGINT) or handles itself (SDL's quit on SIGINT) is
// left to that.
std::mutex TableLock;
int LiveCount = 0;
bool Installed[kSignalCount] = {};

void InstallHandlers() {
  for (int k = 0; k < kSignalCount; ++k) {
    struct sigaction current {};
    if (::sigaction(kSignals[k], nullptr, &current) != 0) continue;
    if ((current.sa_flags & SA_SIGINFO) || current.sa_handler != SIG_DFL) continue;
    struct sigaction ours {};
    ours.sa_handler = RemoveLiveTemporaries;
    sigemptyset(&ours.sa_mask);
    for (const int other : kSignals) sigaddset(&ours.sa_mask, other);
    Installed[k] = ::sigaction(kSignals[k], &ours, nullptr) == 0;
  }
}

void RemoveHandlers() {
  for (int k = 0; k < kSignalCount; ++k) {
    if (!Installed[k]) continue;
    Installed[k] = false;
    struct sigaction current {};
    if (::sigaction(kSignals[k], nullptr, &current) != 0 || current.sa_handler != RemoveLiveTemporaries)
      continue;
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(kSignals[k], &fallback, nullptr);
  }
}

// A slot holding `path` (made absolute: the working folder may change), or -1 when none is free.
// Marked live before the file exists: a signal in between removes a name of this scheme only.
int Claim(const std::string& path) {
  std::error_code ec;
  const std::string absolute = fs::absolute(path, ec).string();
  if (ec || absolute.size() >= kSlotBytes) return -1;
  const std::lock_guard<std::mutex> lock(TableLock);
  for (int i = 0; i < kSlots; ++i) {
    if (LiveSlots[i].load()) continue;
    std::memcpy(LivePaths[i], absolute.c_str(), absolute.size() + 1);
    if (LiveCount++ == 0) InstallHandlers();
    LiveSlots[i].store(true);
    return i;
  }
  return -1;
}

void Unclaim(int slot) {
  if (slot < 0) return;
  LiveSlots[slot].store(false);
  const std::lock_guard<std::mutex> lock(TableLock);
  if (--LiveCount == 0) RemoveHandlers();
}

[[noreturn]] void Fail(int error, const std::string& what) {
  throw std::system_error(error != 0 ? error : EIO, std::generic_category(), what);
}

// The file a link at `path` points at (even one still to be made), so that the link stays; else
// `path` itself.
std::string TargetOf(const std::string& path) {
  fs::path at = path;
  std::error_code ec;
  for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(at, ec)); ++hops) {
    const fs::path next = fs::read_symlink(at, ec);
    if (ec) break;
    at = next.is_absolute() ? next : at.parent_path() / next;
  }
  return at.string();
}

}  // namespace

TAtomicFile::TAtomicFile(const std::string& path, mode_t mode, bool replacing)
    : Target(replacing ? TargetOf(path) : path) {
  static std::atomic<unsigned> counter{0};
  const fs::path target(Target);
  // Hidden, and short enough for any file system's name limit whatever the target's length.
  const std::string name = "." + target.filename().string().substr(0, 160) + "." +
                           std::to_string(::getpid()) + "-" + std::to_string(++counter) + ".tmp";
  Temporary = (target.parent_path() / name).string();
  struct stat replaced {};
  const bool replaces =
      replacing && ::stat(Target.c_str(), &replaced) == 0 && S_ISREG(replaced.st_mode);

  Slot = Claim(Temporary);
  const int fd = ::open(Temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) {
    const int error = errno;
    Temporary.clear();
    Release();
    Fail(error, path);
  }
  if (replaces) ::fchmod(fd, replaced.st_mode & 07777);
  File = ::fdopen(fd, "wb");
  if (!File) {
    const int error = errno;
    ::close(fd);
    ::unlink(Temporary.c_str());
    Temporary.clear();
    Release();
    Fail(error, path);
  }
}

TAtomicFile::~TAtomicFile() {
  if (File) std::fclose(File);
  if (!Temporary.empty()) ::unlink(Temporary.c_str());
  Release();
}

void TAtomicFile::Release() {
  Unclaim(std::exchange(Slot, -1));
}

void TAtomicFile::Close() {
  if (!File) return;
  std::FILE* file = std::exchange(File, nullptr);
  errno = 0;
  const bool failed = std::fflush(file) != 0 || std::ferror(file) != 0;
  const int error = errno;
  if (std::fclose(file) != 0 && !failed) Fail(errno, Target);
  if (failed) Fail(error, Target);
}

void TAtomicFile::Commit() {
  Close();
  if (::rename(Temporary.c_str(), Target.c_str()) != 0) Fail(errno, Target);
  Temporary.clear();
  Release();
}

bool TAtomicFile::CommitNew(const std::string& name) {
  Close();
  if (::renameat2(AT_FDCWD, Temporary.c_str(), AT_FDCWD, name.c_str(), RENAME_NOREPLACE) != 0) {
    if (errno == EEXIST) return false;
    // A file system without an exclusive rename: a hard link is exclusive on every one of them.
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) Fail(errno, name);
    if (::link(Temporary.c_str(), name.c_str()) != 0) {
      if (errno == EEXIST) return false;
      Fail(errno, name);
    }
    ::unlink(Temporary.c_str());
  }
  Temporary.clear();
  Release();
  return true;
}

void WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
  TAtomicFile file(path);
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file.Stream()) != bytes.size())
    Fail(errno, path);
  file.Commit();
}

}  // namespace platform
