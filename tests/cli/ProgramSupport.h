#pragma once
// Running the real bspwalk program from a test: arguments, working directory, exit code and both
// output streams.
#include <string>
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

// The lines of a text, without their line ends.
std::vector<std::string> Lines(const std::string& text);

}  // namespace clitest
