#pragma once
// Files the program writes (pictures, lightmap images, exports) never show half-written: each is
// written under a temporary name in the folder it goes to and renamed into place only when
// complete. Until then the old file stays as it was; a temporary left by a failed write goes at
// once, and one alive when SIGINT, SIGTERM or SIGHUP ends the program is removed before it ends.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <span>
#include <string>
#include <sys/types.h>
#include <vector>

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

// Files that make one output (a .gltf and the files beside it it names): all of them replace
// what is at their paths, or none does, also when SIGINT, SIGTERM or SIGHUP comes in between.
// Each is written under a temporary name in a hidden folder beside the first, and all are renamed
// into place while those signals wait; a rename that fails puts back the files already replaced.
// The paths share one file system (the first's folder). Raises std::system_error naming the path.
struct TFileBytes {
  std::string Path;
  std::span<const std::uint8_t> Bytes;
};
// `step`, for tests, is called after each file is written (0 .. n-1) and after each rename
// (n .. 2n-1).
void WriteFilesTogether(const std::vector<TFileBytes>& files, const std::function<void(std::size_t)>& step = {});

// The whole of `bytes` written to `path` through a TAtomicFile; raises std::system_error.
void WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace platform
