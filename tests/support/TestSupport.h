#pragma once
// Small helpers every test program shares: captured message boxes, temporary folders, and the
// real game data of Debian's OpenArena packages, extracted at test time.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Messages.h"

namespace testsupport {

struct TShownMessage {
  std::string Text;
  std::string Caption;
  platform::TMessageIcon Icon;
};

// Captures every message shown while it lives instead of showing it.
class TMessageCapture {
 public:
  TMessageCapture();
  ~TMessageCapture();
  TMessageCapture(const TMessageCapture&) = delete;
  TMessageCapture& operator=(const TMessageCapture&) = delete;
  const std::vector<TShownMessage>& Messages() const { return Shown; }

 private:
  std::vector<TShownMessage> Shown;
  platform::TMessageTarget Previous;
};

// A fresh empty folder under the system's temporary folder, removed with everything in it.
class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  const std::string& Path() const { return Dir; }
  std::string operator/(const std::string& name) const { return Dir + "/" + name; }

 private:
  std::string Dir;
};

// Makes `dir` the working directory while it lives (the program's paths are relative to it).
class TScopedWorkingDir {
 public:
  explicit TScopedWorkingDir(const std::string& dir);
  ~TScopedWorkingDir();
  TScopedWorkingDir(const TScopedWorkingDir&) = delete;
  TScopedWorkingDir& operator=(const TScopedWorkingDir&) = delete;

 private:
  std::string Previous;
};

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
// The same, making the folders of the path first; the text as its bytes.
void Write(const std::string& path, const std::vector<std::uint8_t>& bytes);
void Write(const std::string& path, std::string_view text);
// The text in single quotes for a shell command line, quotes in it escaped.
std::string Quote(const std::string& s);
std::vector<std::uint8_t> ReadFile(const std::string& path);

// Full path of an OpenArena archive such as "pak1-maps.pk3"; empty when it is not installed.
std::string OpenArenaArchive(const std::string& pk3Name);

// Extracts the members matching the unzip patterns (e.g. "maps/oa_dm4.bsp", "textures/*") from
// the archive into one shared folder under the build tree, once per pattern set even across
// concurrent test programs, and returns that folder. Fails the calling test (via an exception)
// when the archive is missing.
std::string ExtractOpenArena(const std::string& pk3Name, const std::vector<std::string>& patterns);

// Copies into the base folder `folder` the surface images of these texture names (each looked for
// as ".jpg" and ".tga") that the game's archives pak0.pk3 and pak4-textures.pk3 hold, each at its
// path relative to the folder, the later archive winning.
void InstallOpenArenaImages(const std::vector<std::string>& textureNames, const std::string& folder);

// The BSP files of an archive, as member names ("maps/aggressor.bsp", ...), sorted.
std::vector<std::string> ListOpenArena(const std::string& pk3Name, const std::string& suffix);

}  // namespace testsupport
