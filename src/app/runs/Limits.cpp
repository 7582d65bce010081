#include "app/runs/Limits.h"

#include <GL/gl.h>

#include <algorithm>
#include <cerrno>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace app {

bool MayWritePicture(const std::string& path, std::ostream& err) {
  namespace fs = std::filesystem;
  if (!OutputFolderExists(path, err)) return false;
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (!fs::exists(status)) return true;
  static constexpr std::array<char, 8> kSignature = {'\x89', 'P', 'N', 'G', '\r', '\n', '\x1a', '\n'};
  std::array<char, 8> head{};
  // Only a regular file is opened: opening a FIFO to read waits for a writer that never comes.
  if (fs::is_regular_file(status)) {
    std::ifstream file(path, std::ios::binary);
    if (file.read(head.data(), head.size()) && head == kSignature) return true;
  }
  err << "bspwalk: " << path << " exists and is not a PNG picture; it is left as it is\n";
  return false;
}

bool OutputFolderExists(const std::string& path, std::ostream& err) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::path(path).parent_path();
  std::error_code ec;
  if (folder.empty() || fs::is_directory(folder, ec)) return true;
  const bool missing = !fs::exists(fs::symlink_status(folder, ec));
  err << "bspwalk: cannot write " << path << ": "
      << std::generic_category().message(missing ? ENOENT : ENOTDIR) << "\n";
  return false;
}

bool MayReplaceOutput(const std::string& path, std::ostream& err, const std::function<bool(const std::string&)>& isOurs,
                      const std::string& kind) {
  namespace fs = std::filesystem;
  if (!OutputFolderExists(path, err)) return false;
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (!fs::exists(status)) return true;
  if (fs::is_directory(status)) {
    err << "bspwalk: " << path << " is a folder; give the export a file name\n";
    return false;
  }
  if (fs::is_regular_file(status) && isOurs(path)) return true;
  err << "bspwalk: " << path << " exists and is not " << kind << "; it is left as it is\n";
  return false;
}

bool FitsGLViewport(const TWindowSize& size, std::ostream& err) {
  static const std::array<GLint, 2> largest = [] {
    std::array<GLint, 2> dims{0, 0};
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, dims.data());
    return dims;
  }();
  // Without an answer (no context) there is nothing to hold the size against.
  if (largest[0] <= 0 || largest[1] <= 0) return true;
  if (size.Width <= largest[0] && size.Height <= largest[1]) return true;
  err << "bspwalk: --size " << size.Width << "x" << size.Height
      << " is larger than this GL can draw (" << largest[0] << "x" << largest[1] << " at most)\n";
  return false;
}

double PeakResidentMB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
  return 0;
}

}  // namespace app
