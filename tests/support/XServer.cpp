#include "support/XServer.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <stdexcept>
#include <string>

namespace testsupport {
namespace {

constexpr const char* kSoftwareDriver = "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so";

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kLeaksChecked = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kLeaksChecked = true;
#else
constexpr bool kLeaksChecked = false;
#endif
#else
constexpr bool kLeaksChecked = false;
#endif

bool DriverToKeep() { return kLeaksChecked && std::filesystem::exists(kSoftwareDriver); }

}  // namespace

void KeepGLDriverLoaded() {
  static const bool kept = [] {
    return DriverToKeep() && dlopen(kSoftwareDriver, RTLD_NOW | RTLD_GLOBAL | RTLD_NODELETE);
  }();
  (void)kept;
}

std::string GLDriverPreload() {
  return DriverToKeep() ? std::string("LD_PRELOAD=") + kSoftwareDriver : std::string();
}

TXvfbServer::TXvfbServer(int width, int height) {
  KeepGLDriverLoaded();
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  const std::string displayFd = std::to_string(fds[1]);
  Pid = fork();
  if (Pid == 0) {
    close(fds[0]);
    const int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
    // The misc fonts hold "fixed", the font SDL's X11 message box asks for first.
    const char* argv[] = {"Xvfb", "-displayfd", displayFd.c_str(), "-screen", "0",
                          screen.c_str(), "-nolisten", "tcp", "-fp",
                          "/usr/share/fonts/X11/misc,built-ins", "-noreset", nullptr};
    execvp("Xvfb", const_cast<char* const*>(argv));
    _exit(127);
  }
  close(fds[1]);
  if (Pid < 0) {
    close(fds[0]);
    throw std::runtime_error("fork failed");
  }
  // Xvfb writes the display number once it accepts clients; on a loaded machine that may take a
  // while.
  std::string number;
  pollfd waitFor{fds[0], POLLIN, 0};
  while (poll(&waitFor, 1, 60000) > 0) {
    char c;
    if (read(fds[0], &c, 1) != 1 || c == '\n') break;
    number += c;
  }
  close(fds[0]);
  if (number.empty()) {
    kill(Pid, SIGKILL);
    waitpid(Pid, nullptr, 0);
    throw std::runtime_error("Xvfb did not start (scripts/install-deps installs it)");
  }
  Name = ":" + number;
}

TXvfbServer::~TXvfbServer() {
  if (Pid > 0) {
    kill(Pid, SIGTERM);
    waitpid(Pid, nullptr, 0);
  }
}

TScopedDisplay::TScopedDisplay(const std::string& display) {
  if (const char* previous = std::getenv("DISPLAY")) {
    Previous = previous;
    HadPrevious = true;
  }
  setenv("DISPLAY", display.c_str(), 1);
}

TScopedDisplay::~TScopedDisplay() {
  if (HadPrevious)
    setenv("DISPLAY", Previous.c_str(), 1);
  else
    unsetenv("DISPLAY");
}

std::string Shell(const std::string& display, const std::string& command) {
  const std::string full = "DISPLAY=" + display + " " + command + " 2>/dev/null";
  std::string out;
  if (FILE* pipe = popen(full.c_str(), "r")) {
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

std::string WindowId(const std::string& display, const std::string& title) {
  const std::string tree = Shell(display, "xwininfo -root -tree");
  const std::size_t at = tree.find("\"" + title + "\": (");
  if (at == std::string::npos) return {};
  const std::size_t lineStart = tree.rfind('\n', at) + 1;
  const std::size_t idStart = tree.find_first_not_of(' ', lineStart);
  return tree.substr(idStart, tree.find(' ', idStart) - idStart);
}

void DeclareDecorationHints(const std::string& display) {
  Shell(display, "xprop -root -f _MOTIF_WM_HINTS 32c -set _MOTIF_WM_HINTS 0");
}

TWindowManagerHints ReadWindowManagerHints(const std::string& display, const std::string& window) {
  TWindowManagerHints hints;
  hints.Properties = Shell(display, "xprop -id " + window);
  // Flags, functions, decorations, ...; decorations count when flag 2 is set.
  std::smatch motif;
  if (std::regex_search(hints.Properties, motif,
                        std::regex(R"(_MOTIF_WM_HINTS\(_MOTIF_WM_HINTS\) = (0x[0-9a-f]+), 0x[0-9a-f]+, (0x[0-9a-f]+))")))
    hints.Decorated = (std::stoul(motif[1].str(), nullptr, 16) & 2) == 0 ||
                      std::stoul(motif[2].str(), nullptr, 16) != 0;
  std::smatch state;
  if (std::regex_search(hints.Properties, state, std::regex(R"(_NET_WM_STATE\(ATOM\) = ([^\n]*))")))
    hints.Above = state[1].str().find("_NET_WM_STATE_ABOVE") != std::string::npos;
  return hints;
}

}  // namespace testsupport
