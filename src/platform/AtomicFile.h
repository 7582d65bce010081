#pragma once
// Files the program writes (pictures, lightmap images, exports) never show half-written: each is
// written under a temporary name in the folder it goes to and renamed into place only when
// complete. Until then the old file stays as it was; a temporary left by a failed write goes at
// once, and one alive when SIGINT, SIGTERM or SIGHUP ends the program is removed before it ends.
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <sys/types.h>

namespace platform {

class TAtomicFile {
 public:
  // Creates the temporary beside `path`, with `mode` less the umask. When `replacing` (Commit's
  // callers), it takes the permissions of the file it will replace, and a symbolic link at `path`
  // (even a dangling one) keeps pointing at the new file, which goes where it points; CommitNew's
  // callers, who never replace a name, pass false. Raises std::system_error with the reason when
  // it cannot.
  explicit TAtomicFile(const std::string& path, mode_t mode = 0666, bool replacing = true);
  // Removes the temporary unless it was put in place.
  ~TAtomicFile();
  TAtomicFile(const TAtomicFile&) = delete;
  TAtomicFile& operator=(const TAtomicFile&) = delete;

  // Where the contents go until Close.
  std::FILE* Stream() const { return File; }
  // Flushes and closes the temporary; raises std::system_error when that fails (a full disk).
  void Close();
  // Closes, then renames the temporary over `path` (replacing what is there).
  void Commit();
  // Closes, then gives the temporary the name `name` in the same folder only when no file (nor
  // link) has that name; false when one has, and the temporary stays for another name.
  bool CommitNew(const std::string& name);

  // The temporary's path, while there is one.
  const std::string& TemporaryPath() const { return Temporary; }

 private:
  void Release();
  std::string Target;
  std::string Temporary;
  std::FILE* File = nullptr;
  int Slot = -1;
};

// The whole of `bytes` written to `path` through a TAtomicFile; raises std::system_error.
void WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace platform
