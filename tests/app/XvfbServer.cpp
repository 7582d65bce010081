#include "XvfbServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace apptest {

TXvfbServer::TXvfbServer(int width, int height) {
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
  // Xvfb writes the display number once it accepts clients.
  std::string number;
  pollfd waitFor{fds[0], POLLIN, 0};
  while (poll(&waitFor, 1, 20000) > 0) {
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

}  // namespace apptest
