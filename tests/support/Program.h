#pragma once
// Running a real program from a test, as a person runs it: arguments, working directory, an X
// display for the windowed ones, the exit code and both output streams; and waiting for what it
// shows by asking again until a generous deadline rather than after fixed pauses.
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace testsupport {

struct TRun {
  int ExitCode = -1;  // the exit code, 128 + the signal, or -1 when it did not end in time
  std::string Out;
  std::string Err;
  // What the run cost, from the child's own resource usage (getrusage of the ended child):
  // processor time of all its threads, user and system, and its peak resident memory.
  double CpuSeconds = 0;
  double PeakResidentMB = 0;
  double WallSeconds = 0;
};

// The program started in the background; killed if it is still running at the end.
class TStartedProgram {
 public:
  // Runs `program` with the arguments in `workingDir` (the test's own when empty), standard input
  // empty and both outputs kept. With a display, DISPLAY is set to it, and in sanitizer builds
  // the program gets Mesa's GL driver preloaded (see GLDriverPreload). `environment` holds extra
  // NAME=VALUE settings.
  TStartedProgram(const std::string& program, const std::vector<std::string>& args,
                  const std::string& workingDir = "", const std::string& display = "",
                  const std::vector<std::string>& environment = {});
  ~TStartedProgram();
  TStartedProgram(const TStartedProgram&) = delete;
  TStartedProgram& operator=(const TStartedProgram&) = delete;

  // The exit code once the program has ended within the time, or nothing.
  std::optional<int> WaitForExit(std::chrono::milliseconds limit);
  bool Running() { return !WaitForExit(std::chrono::milliseconds(0)); }
  // Ends it at once if it still runs.
  void Kill();
  std::string Out() const;
  std::string Err() const;
  // The ended program's processor time (user + system) and peak resident memory; 0 before.
  double CpuSeconds() const { return Cpu; }
  double PeakResidentMB() const { return PeakMB; }

 private:
  TTempDir Outputs;
  int Pid = -1;
  std::optional<int> Status;
  double Cpu = 0;
  double PeakMB = 0;
};

// Runs the program to its end and returns what it gave; killed after `limit` (a hang), with
// ExitCode -1.
TRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                const std::string& workingDir = "",
                std::chrono::seconds limit = std::chrono::seconds(300));

// Asks `condition` every `interval` until it holds or `limit` has passed; true when it held.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit,
               std::chrono::milliseconds interval = std::chrono::milliseconds(100));

// The lines of a text, without their line ends.
std::vector<std::string> Lines(const std::string& text);

}  // namespace testsupport
