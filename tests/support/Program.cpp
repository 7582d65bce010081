#include "support/Program.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "support/XServer.h"

namespace testsupport {
namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

TStartedProgram::TStartedProgram(const std::string& program, const std::vector<std::string>& args,
                                 const std::string& workingDir, const std::string& display,
                                 const std::vector<std::string>& environment) {
  const std::string outPath = Outputs / "out", errPath = Outputs / "err";
  std::vector<std::string> argv{program};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> raw;
  for (std::string& a : argv) raw.push_back(a.data());
  raw.push_back(nullptr);
  std::vector<std::string> settings;
  if (!display.empty()) {
    settings.push_back("DISPLAY=" + display);
    if (std::string preload = GLDriverPreload(); !preload.empty()) settings.push_back(preload);
  }
  settings.insert(settings.end(), environment.begin(), environment.end());

  Pid = fork();
  if (Pid < 0) throw std::runtime_error("fork failed");
  if (Pid == 0) {
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int in = open("/dev/null", O_RDONLY);
    if (out < 0 || err < 0 || in < 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (!workingDir.empty() && chdir(workingDir.c_str()) != 0) _exit(126);
    for (const std::string& setting : settings) {
      const std::size_t equals = setting.find('=');
      setenv(setting.substr(0, equals).c_str(), setting.substr(equals + 1).c_str(), 1);
    }
    execv(raw[0], raw.data());
    _exit(127);
  }
}

TStartedProgram::~TStartedProgram() { Kill(); }

void TStartedProgram::Kill() {
  if (Pid > 0 && !Status) {
    kill(Pid, SIGKILL);
    waitpid(Pid, nullptr, 0);
    Pid = -1;
  }
}

std::optional<int> TStartedProgram::WaitForExit(std::chrono::milliseconds limit) {
  if (Status || Pid <= 0) return Status;
  WaitUntil(
      [this] {
        int status = 0;
        rusage usage{};
        if (wait4(Pid, &status, WNOHANG, &usage) != Pid) return false;
        Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
        Cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
        PeakMB = static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
        return true;
      },
      limit, std::chrono::milliseconds(20));
  return Status;
}

std::string TStartedProgram::Out() const { return ReadText(Outputs / "out"); }

std::string TStartedProgram::Err() const { return ReadText(Outputs / "err"); }

TRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                const std::string& workingDir, std::chrono::seconds limit) {
  const auto start = std::chrono::steady_clock::now();
  TStartedProgram started(program, args, workingDir);
  const std::optional<int> exitCode = started.WaitForExit(limit);
  started.Kill();
  TRun run;
  run.WallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.CpuSeconds = started.CpuSeconds();
  run.PeakResidentMB = started.PeakResidentMB();
  run.ExitCode = exitCode.value_or(-1);
  run.Out = started.Out();
  run.Err = started.Err();
  if (!exitCode) run.Err += "(still running after " + std::to_string(limit.count()) + " s: killed)\n";
  return run;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit,
               std::chrono::milliseconds interval) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(interval);
  }
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace testsupport
