#include "app/runs/Gallery.h"

#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "app/runs/Json.h"
#include "app/runs/TerminalText.h"
#include "platform/AtomicFile.h"

extern char** environ;

namespace app {
namespace {

namespace fs = std::filesystem;

struct TChildRun {
  int ExitCode = -1;
  std::string Out, Err;
};

// A pipe's two ends, closed when done with.
struct TPipe {
  std::array<int, 2> Ends{-1, -1};
  TPipe() {
    if (pipe(Ends.data()) != 0) throw std::system_error(errno, std::generic_category(), "pipe");
  }
  ~TPipe() {
    for (const int end : Ends)
      if (end >= 0) close(end);
  }
  TPipe(const TPipe&) = delete;
  TPipe& operator=(const TPipe&) = delete;
  void CloseEnd(int which) {
    close(Ends[which]);
    Ends[which] = -1;
  }
};

// The program run with these arguments, its output and messages read as they come (both pipes
// at once, so that neither fills while the other is waited for).
TChildRun RunChild(const std::string& program, const std::vector<std::string>& args) {
  TPipe out, err;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out.Ends[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err.Ends[1], 2);
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  TChildRun run;
  if (spawned != 0) {
    run.Err = program + ": " + std::generic_category().message(spawned);
    return run;
  }
  out.CloseEnd(1);
  err.CloseEnd(1);
  std::array<pollfd, 2> fds{{{out.Ends[0], POLLIN, 0}, {err.Ends[0], POLLIN, 0}}};
  std::array<std::string*, 2> texts{&run.Out, &run.Err};
  for (int open = 2; open > 0;) {
    if (poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) break;
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char chunk[65536];
      const ssize_t got = read(fds[i].fd, chunk, sizeof chunk);
      if (got > 0) {
        texts[i]->append(chunk, static_cast<std::size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        fds[i].fd = -1;
        --open;
      }
    }
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

// The run's message: its last line that is not a warning, without the program's prefix.
std::string ProblemOf(const TChildRun& run) {
  std::string problem;
  std::size_t start = 0;
  while (start < run.Err.size()) {
    std::size_t end = run.Err.find('\n', start);
    if (end == std::string::npos) end = run.Err.size();
    std::string line = run.Err.substr(start, end - start);
    if (!line.empty() && !line.starts_with("bspwalk: warning:"))
      problem = line.starts_with("bspwalk: ") ? line.substr(9) : line;
    start = end + 1;
  }
  if (problem.empty()) problem = "ended with exit code " + std::to_string(run.ExitCode);
  return problem;
}

// The level's name as a file name of the folder: anything but letters, digits, '-', '_' and '.'
// made '_', so no name of the game data writes outside it.
std::string FileNameOf(const std::string& entry) {
  std::string name = entry.substr(entry.find_last_of("/\\") + 1);
  if (name.size() > 4 && (name.ends_with(".bsp") || name.ends_with(".BSP"))) name.resize(name.size() - 4);
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_' && c != '.') c = '_';
  if (name.empty() || name[0] == '.') name.insert(0, "_");
  return name;
}

// The counts of --info --json for the index.
void ReadCounts(const std::string& json, TGalleryEntry& entry) {
  const TJson info = TJson::parse(json, nullptr, false);
  if (!info.is_object()) return;
  const auto number = [&](const TJson& value) { return value.is_number() ? value.get<long long>() : 0LL; };
  if (info.contains("Drawn")) {
    entry.Faces = number(info["Drawn"].value("Faces", TJson()));
    entry.Triangles = number(info["Drawn"].value("Triangles", TJson()));
  }
  entry.SpawnPoints = number(info.value("SpawnPoints", TJson()));
  entry.MissingImages = number(info.value("TexturesWithoutImage", TJson()));
}

// One level: its counts, its page and its overview picture, each by a run of the program.
TGalleryEntry MakeLevel(const std::string& program, const std::vector<std::string>& data, const TRunOptions& options,
                        const data::TEntryInfo& level, const fs::path& folder) {
  TGalleryEntry entry;
  entry.Name = FileNameOf(level.Name);
  entry.LevelBytes = level.Size;
  const auto run = [&](std::vector<std::string> args, bool given) {
    args.insert(args.begin(), data.begin(), data.end());
    if (given) args.insert(args.end(), options.GalleryArgs.begin(), options.GalleryArgs.end());
    args.push_back(level.Name);
    return RunChild(program, args);
  };
  const fs::path page = folder / (entry.Name + ".html"), picture = folder / (entry.Name + ".png");
  const TChildRun exported = run({"--export", page.string()}, true);
  if (exported.ExitCode != 0) {
    entry.Problem = ProblemOf(exported);
    return entry;
  }
  std::error_code ec;
  entry.PageBytes = fs::file_size(page, ec);
  const TChildRun info = run({"--info", "--json"}, true);
  if (info.ExitCode == 0) ReadCounts(info.Out, entry);
  entry.Overview = run({"--overview", picture.string()}, false).ExitCode == 0;
  return entry;
}

}  // namespace

int RunGallery(const TRunOptions& options, const data::TSearchPath& path) {
  const std::vector<data::TEntryInfo> levels = path.List("maps", ".bsp");
  if (levels.empty()) {
    std::cerr << "bspwalk: --gallery: the game data holds no level (maps/*.bsp); name its folders with "
                 "--data DIR or BSPWALK_DATA (see bspwalk --help)\n";
    return 2;
  }
  std::error_code ec;
  const fs::path folder = fs::absolute(options.GalleryPath, ec);
  fs::create_directories(folder, ec);
  if (!fs::is_directory(folder, ec)) {
    std::cerr << "bspwalk: --gallery: " << options.GalleryPath << " is not a folder that can be made\n";
    return 1;
  }
  const std::string program = fs::read_symlink("/proc/self/exe", ec).string();
  std::vector<std::string> data;
  for (const std::string& dir : options.DataPaths) data.insert(data.end(), {"--data", dir});
  std::vector<TGalleryEntry> entries;
  for (std::size_t i = 0; i < levels.size(); ++i) {
    std::printf("level %zu of %zu: %s", i + 1, levels.size(), TerminalText(levels[i].Name).c_str());
    std::fflush(stdout);
    entries.push_back(MakeLevel(program, data, options, levels[i], folder));
    const TGalleryEntry& entry = entries.back();
    if (entry.Problem.empty())
      std::printf(", %.1f MB\n", static_cast<double>(entry.PageBytes) / 1e6);
    else
      std::printf(": failed: %s\n", TerminalText(entry.Problem).c_str());
  }
  const std::string index = GalleryIndex(entries);
  const std::string indexPath = (folder / "index.html").string();
  try {
    platform::TAtomicFile file(indexPath);
    if (std::fwrite(index.data(), 1, index.size(), file.Stream()) != index.size())
      throw std::system_error(std::make_error_code(std::errc::io_error));
    file.Commit();
  } catch (const std::system_error& e) {
    std::cerr << "bspwalk: cannot write " << indexPath << ": " << e.code().message() << "\n";
    return 1;
  }
  std::size_t failed = 0;
  for (const TGalleryEntry& entry : entries) failed += !entry.Problem.empty();
  std::printf("%zu pages and %s\n", entries.size() - failed, indexPath.c_str());
  if (failed > 0) {
    std::cerr << "bspwalk: --gallery: " << failed << " of " << entries.size() << " levels failed:\n";
    for (const TGalleryEntry& entry : entries)
      if (!entry.Problem.empty()) std::cerr << "  " << entry.Name << ": " << TerminalText(entry.Problem) << "\n";
  }
  return 0;
}

}  // namespace app
