#pragma once
// A private X server for tests that need a real display: Xvfb on a free display number, with the
// X core fonts that SDL's message boxes draw their text with.
#include <string>
#include <sys/types.h>

namespace apptest {

class TXvfbServer {
 public:
  // Starts Xvfb with one screen of width x height at depth 24 and waits until it accepts
  // clients. Raises std::runtime_error when it cannot be started.
  TXvfbServer(int width, int height);
  ~TXvfbServer();
  TXvfbServer(const TXvfbServer&) = delete;
  TXvfbServer& operator=(const TXvfbServer&) = delete;

  // ":N", for DISPLAY.
  const std::string& Display() const { return Name; }

 private:
  pid_t Pid = -1;
  std::string Name;
};

// Sets DISPLAY while it lives.
class TScopedDisplay {
 public:
  explicit TScopedDisplay(const std::string& display);
  ~TScopedDisplay();
  TScopedDisplay(const TScopedDisplay&) = delete;
  TScopedDisplay& operator=(const TScopedDisplay&) = delete;

 private:
  std::string Previous;
  bool HadPrevious = false;
};

}  // namespace apptest
