#pragma once
// Running the real bspwalk program from a test: arguments, working directory, exit code and both
// output streams.
#include <string>
#include <string_view>
#include <vector>

namespace clitest {

struct TRun {
  int ExitCode = -1;
  std::string Out;
  std::string Err;
};

// Runs the program built beside the tests with the arguments, in `workingDir` (the test's own
// when empty), and waits for it.
TRun RunProgram(const std::vector<std::string>& args, const std::string& workingDir = "");

// The program started in the background on an X display; killed if still running at the end.
class TStartedProgram {
 public:
  // `environment` holds extra NAME=VALUE settings for the program.
  TStartedProgram(const std::vector<std::string>& args, const std::string& workingDir,
                  const std::string& display, const std::vector<std::string>& environment = {});
  ~TStartedProgram();
  TStartedProgram(const TStartedProgram&) = delete;
  TStartedProgram& operator=(const TStartedProgram&) = delete;

  // The exit code once the program has ended within the time, or -1.
  int WaitForExit(int milliseconds);
  std::string Err() const;

 private:
  std::string ErrPath;
  int Pid = -1;
  int Status = -1;
};

// Runs a shell command with DISPLAY set and gives its standard output.
std::string Shell(const std::string& display, const std::string& command);

// The lines of a text, without their line ends.
std::vector<std::string> Lines(const std::string& text);

}  // namespace clitest
