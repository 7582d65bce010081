#include "ProgramSupport.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "support/TestSupport.h"

namespace clitest {
namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

TRun RunProgram(const std::vector<std::string>& args, const std::string& workingDir) {
  testsupport::TTempDir outputs;
  const std::string outPath = outputs / "out", errPath = outputs / "err";
  std::vector<std::string> argv{BSPWALK_PROGRAM};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> raw;
  for (std::string& a : argv) raw.push_back(a.data());
  raw.push_back(nullptr);

  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int in = open("/dev/null", O_RDONLY);
    if (out < 0 || err < 0 || in < 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (!workingDir.empty() && chdir(workingDir.c_str()) != 0) _exit(126);
    execv(raw[0], raw.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
  }
  TRun run;
  run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.Out = ReadText(outPath);
  run.Err = ReadText(errPath);
  return run;
}

TStartedProgram::TStartedProgram(const std::vector<std::string>& args,
                                 const std::string& workingDir, const std::string& display,
                                 const std::vector<std::string>& environment)
    : ErrPath(workingDir + "/program-stderr.txt") {
  std::vector<std::string> argv{BSPWALK_PROGRAM};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> raw;
  for (std::string& a : argv) raw.push_back(a.data());
  raw.push_back(nullptr);
  Pid = fork();
  if (Pid == 0) {
    const int err = open(ErrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int null = open("/dev/null", O_RDWR);
    if (err < 0 || null < 0 || chdir(workingDir.c_str()) != 0) _exit(126);
    dup2(null, 0);
    dup2(null, 1);
    dup2(err, 2);
    setenv("DISPLAY", display.c_str(), 1);
    for (const std::string& setting : environment) {
      const std::size_t equals = setting.find('=');
      setenv(setting.substr(0, equals).c_str(), setting.substr(equals + 1).c_str(), 1);
    }
    execv(raw[0], raw.data());
    _exit(127);
  }
}

TStartedProgram::~TStartedProgram() {
  if (Pid > 0 && Status < 0) {
    kill(Pid, SIGKILL);
    waitpid(Pid, nullptr, 0);
  }
}

int TStartedProgram::WaitForExit(int milliseconds) {
  for (int waited = 0; Status < 0 && Pid > 0; waited += 50) {
    int status = 0;
    if (waitpid(Pid, &status, WNOHANG) == Pid) {
      Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      break;
    }
    if (waited >= milliseconds) break;
    usleep(50'000);
  }
  return Status;
}

std::string TStartedProgram::Err() const { return ReadText(ErrPath); }

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

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace clitest
