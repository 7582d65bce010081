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
#include <vector>
#include <pthread.h>
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
// For a slot that holds a folder of temporaries: how many, named 0 .. n-1 in it (0: a file).
std::atomic<int> LiveFolderFiles[kSlots];
static_assert(std::atomic<bool>::is_always_lock_free, "read inside a signal handler");

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kSignalCount = static_cast<int>(std::size(kSignals));

// Everything here is async-signal-safe: unlink, sigaction, raise. The signal ends the program as
// it would have without the handler (the handler stands only where that was the action).
void RemoveLiveTemporaries(int signal) {
  for (int i = 0; i < kSlots; ++i) {
    if (!LiveSlots[i].load()) continue;
    const int files = LiveFolderFiles[i].load();
    if (files == 0) {
      ::unlink(LivePaths[i]);
      continue;
    }
    char path[kSlotBytes + 16];
    const std::size_t length = std::strlen(LivePaths[i]);
    std::memcpy(path, LivePaths[i], length);
    path[length] = '/';
    for (int f = 0; f < files; ++f) {
      char digits[12];
      int count = 0;
      for (int n = f; count == 0 || n > 0; n /= 10) digits[count++] = static_cast<char>('0' + n % 10);
      for (int d = 0; d < count; ++d) path[length + 1 + d] = digits[count - 1 - d];
      path[length + 1 + count] = '\0';
      ::unlink(path);
    }
    ::rmdir(LivePaths[i]);
  }
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
int Claim(const std::string& path, int folderFiles = 0) {
  std::error_code ec;
  const std::string absolute = fs::absolute(path, ec).string();
  if (ec || absolute.size() >= kSlotBytes) return -1;
  const std::lock_guard<std::mutex> lock(TableLock);
  for (int i = 0; i < kSlots; ++i) {
    if (LiveSlots[i].load()) continue;
    std::memcpy(LivePaths[i], absolute.c_str(), absolute.size() + 1);
    if (LiveCount++ == 0) InstallHandlers();
    LiveFolderFiles[i].store(folderFiles);
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

// A hidden folder of temporaries named 0 .. n-1, guarded like a temporary file; removed with what
// is left in it.
class TTemporaryFolder {
 public:
  TTemporaryFolder(const fs::path& beside, int files) : Files(files) {
    static std::atomic<unsigned> counter{0};
    Path = (beside.parent_path() / ("." + beside.filename().string().substr(0, 160) + "." +
                                     std::to_string(::getpid()) + "-" + std::to_string(++counter) + ".tmp.d"))
               .string();
    Slot = Claim(Path, files);
    if (::mkdir(Path.c_str(), 0700) != 0) {
      const int error = errno;
      Unclaim(std::exchange(Slot, -1));
      Fail(error, beside.string());
    }
  }
  ~TTemporaryFolder() { Remove(); }
  TTemporaryFolder(const TTemporaryFolder&) = delete;
  TTemporaryFolder& operator=(const TTemporaryFolder&) = delete;

  std::string File(int index) const { return Path + "/" + std::to_string(index); }
  std::string Backup(int index) const { return Path + "/b" + std::to_string(index); }

  void Remove() {
    if (Slot < 0) return;
    for (int f = 0; f < Files; ++f) {
      ::unlink(File(f).c_str());
      ::unlink(Backup(f).c_str());
    }
    ::rmdir(Path.c_str());
    Unclaim(std::exchange(Slot, -1));
  }

 private:
  std::string Path;
  int Files;
  int Slot = -1;
};

void WriteWhole(const std::string& temporary, const std::string& target, std::span<const std::uint8_t> bytes) {
  struct stat replaced {};
  const bool replaces = ::stat(target.c_str(), &replaced) == 0 && S_ISREG(replaced.st_mode);
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) Fail(errno, target);
  if (replaces) ::fchmod(fd, replaced.st_mode & 07777);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      const int error = errno;
      ::close(fd);
      Fail(error, target);
    }
    done += static_cast<std::size_t>(written);
  }
  if (::close(fd) != 0) Fail(errno, target);
}

// Renames every file into place, or (when one rename fails) none: the ones done are put back from
// their backups. Returns 0, or the errno of the rename that failed and its index in `failed`.
int RenameAll(const TTemporaryFolder& folder, const std::vector<std::string>& targets, std::size_t& failed,
              const std::function<void(std::size_t)>& step) {
  const int count = static_cast<int>(targets.size());
  std::vector<bool> backedUp(targets.size());
  for (int i = 0; i < count; ++i) {
    struct stat old {};
    backedUp[i] = ::stat(targets[i].c_str(), &old) == 0 && S_ISREG(old.st_mode) &&
                  ::link(targets[i].c_str(), folder.Backup(i).c_str()) == 0;
  }
  for (int i = 0; i < count; ++i) {
    if (::rename(folder.File(i).c_str(), targets[i].c_str()) == 0) {
      if (step) step(targets.size() + static_cast<std::size_t>(i));
      continue;
    }
    const int error = errno;
    for (int j = 0; j < i; ++j)
      if (backedUp[j]) ::rename(folder.Backup(j).c_str(), targets[j].c_str());
      else ::unlink(targets[j].c_str());
    failed = static_cast<std::size_t>(i);
    return error;
  }
  return 0;
}

}  // namespace

void WriteFilesTogether(const std::vector<TFileBytes>& files, const std::function<void(std::size_t)>& step) {
  if (files.empty()) return;
  std::vector<std::string> targets;
  for (const TFileBytes& file : files) targets.push_back(TargetOf(file.Path));
  TTemporaryFolder folder(files.front().Path, static_cast<int>(files.size()));
  for (std::size_t i = 0; i < files.size(); ++i) {
    WriteWhole(folder.File(static_cast<int>(i)), targets[i], files[i].Bytes);
    if (step) step(i);
  }
  // The signals that end the program wait until every file is in place (or none is), so that
  // an interruption never leaves an old file beside new ones that do not belong to it.
  sigset_t held, previous;
  sigemptyset(&held);
  for (const int signal : kSignals) sigaddset(&held, signal);
  ::pthread_sigmask(SIG_BLOCK, &held, &previous);
  std::size_t failed = 0;
  const int error = RenameAll(folder, targets, failed, step);
  folder.Remove();
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  if (error != 0) Fail(error, files[failed].Path);
}

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
