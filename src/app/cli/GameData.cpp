#include "app/cli/GameData.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>

#include "app/cli/EntityOptions.h"
#include "app/cli/Help.h"
#include "app/cli/Launch.h"
#include "app/cli/StartPose.h"
#include "app/runs/Gallery.h"
#include "app/runs/LevelFile.h"
#include "app/runs/LevelList.h"
#include "data/SearchPath.h"
#include "level/BSPFile.h"
#include "level/LightmapFiles.h"
#include "level/SpawnPoints.h"
#include "level/Things.h"
#include "platform/Files.h"
#include "platform/Messages.h"

namespace fs = std::filesystem;

namespace app {
namespace {

// The file as it is on disk, read past the search path (LEVEL named as a file wins over a name):
// a regular file of at most kMaxFileBytes (a FIFO is never opened: that would wait for a writer).
std::optional<std::vector<std::uint8_t>> ReadDiskFile(const std::string& path, std::size_t most) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec) || fs::file_size(path, ec) > platform::kMaxFileBytes || ec)
    return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  char buffer[65536];
  while (bytes.size() < most && in) {
    in.read(buffer, static_cast<std::streamsize>(std::min(sizeof buffer, most - bytes.size())));
    bytes.insert(bytes.end(), buffer, buffer + in.gcount());
  }
  if (in.bad()) return std::nullopt;
  return bytes;
}

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// What is not a regular file, for "is not a regular file (a FIFO)".
std::string FileKind(const fs::file_status& status) {
  switch (status.type()) {
    case fs::file_type::fifo: return "a FIFO";
    case fs::file_type::character: return "a character device";
    case fs::file_type::block: return "a block device";
    case fs::file_type::socket: return "a socket";
    default: return "not a file";
  }
}

// Where the level of the run comes from, and the file source that everything else reads through:
// the level's own path first, then the search path.
struct TRunData {
  platform::TBudget Budget;  // the run's: everything below reads and builds within it
  std::unique_ptr<data::TSearchPath> Path;
  std::vector<std::string> DataPaths;  // --data or BSPWALK_DATA, for messages
  std::string LevelName;  // LEVEL found in the search path: the name it was found under
  // Level.Archived: the level's bytes from the archives, read once: several steps read the level,
  // and inflating it again each time would cost more than copying it.
  TRunLevel Level;
  platform::TFileSource Files;
};

// The file name without folder and ".bsp", the way people name levels.
std::string LevelStem(const std::string& name) {
  std::string stem = name.substr(name.find_last_of("/\\") + 1);
  if (Lower(stem).ends_with(".bsp")) stem.resize(stem.size() - 4);
  return stem;
}

// A LEVEL found nowhere: where it was looked for (the working folder and the game data as given,
// not each of its archives), and what to try: game data when none was given, else the levels of
// the game data whose names are close to it.
std::string NoSuchLevel(const TRunData& run, const std::string& level) {
  std::error_code ec;
  std::string places = fs::current_path(ec).string();
  for (auto path = run.DataPaths.rbegin(); path != run.DataPaths.rend(); ++path) places += ", " + *path;
  const std::string text = level + ": no such level file (looked in " + places + ")";
  if (run.DataPaths.empty()) return text + "; no game data was given: use --data DIR or BSPWALK_DATA";
  std::vector<std::string> names;
  for (const data::TEntryInfo& entry : run.Path->List("maps", ".bsp")) names.push_back(LevelStem(entry.Name));
  const std::vector<std::string> near = CloseNames(LevelStem(level), names, 3);
  if (near.empty()) return text + "; bspwalk --list shows all levels";
  std::string list;
  for (const std::string& name : near) list += (list.empty() ? "" : ", ") + name;
  return text + "; did you mean " + list + "? (bspwalk --list shows all)";
}

// LEVEL: an existing file, else the first of name, name.bsp, maps/name, maps/name.bsp that the
// search path holds. On failure the text of the one-line message.
std::optional<std::string> FindLevel(TRunData& run, const std::string& level) {
  const std::string resolved = platform::ResolvePath(level);
  std::error_code ec;
  const fs::file_status status = fs::status(resolved, ec);
  // Only a file wins over a game-data name; a folder or anything else of the level's name is named
  // only when the game data does not hold the name either.
  if (fs::is_regular_file(status)) {
    run.Level.DiskPath = resolved;
    const std::uintmax_t size = fs::file_size(resolved, ec);
    if (!ec && size > platform::kMaxFileBytes)
      return level + ": " + std::to_string(size) + " bytes, more than the " +
             std::to_string(platform::kMaxFileBytes) + " (64 MiB) a level may hold";
    // Counted once, however many times the run reads it.
    if (!ec && !run.Budget.Take(platform::TBudgetKind::ReadFromDisk, size, level))
      return level + ": does not fit in the budget of bytes read from disk";
  } else {
    std::vector<std::string> candidates{level};
    const bool hasExtension = Lower(level).ends_with(".bsp");
    if (!hasExtension) candidates.push_back(level + ".bsp");
    const std::string lower = Lower(level);
    if (!lower.starts_with("maps/") && !lower.starts_with("maps\\")) {
      candidates.push_back("maps/" + level);
      if (!hasExtension) candidates.push_back("maps/" + level + ".bsp");
    }
    for (const std::string& name : candidates)
      if (run.Path->Exists(name)) {
        run.LevelName = name;
        break;
      }
    if (run.LevelName.empty() && fs::is_directory(status))
      return level + " is a directory; bspwalk reads Quake 3 levels (IBSP version 46)";
    if (run.LevelName.empty() && fs::exists(status))
      return level + " is not a regular file (" + FileKind(status) +
             "); bspwalk reads Quake 3 levels (IBSP version 46)";
    if (run.LevelName.empty()) return NoSuchLevel(run, level);
  }
  // Plainly something else: said before anything tries to read it as a level.
  if (run.Level.DiskPath.empty()) {
    try {
      run.Level.Archived = run.Path->Read(run.LevelName);
    } catch (const platform::EBudgetSpent&) {
      return level + ": does not fit in the budget of bytes read from the game data";
    }
    if (!run.Level.Archived) return level + ": the level could not be read from " + run.Path->Find(run.LevelName)->Source;
  }
  const auto first = run.Level.DiskPath.empty() ? run.Level.Archived : ReadDiskFile(run.Level.DiskPath, 64);
  if (first) {
    std::vector<std::uint8_t> head(first->begin(), first->begin() + std::min<std::size_t>(64, first->size()));
    if (Lower(level).ends_with(".tga") && head.size() >= 18 && (head[2] == 2 || head[2] == 10) &&
        (head[16] == 24 || head[16] == 32))
      return level + " is a TGA picture; bspwalk reads Quake 3 levels (IBSP version 46)";
    if (const std::optional<std::string> kind = ForeignFileKind(std::span<const std::uint8_t>(head)))
      return level + " is " + *kind +
             (kind->starts_with("an archive") ? "" : "; bspwalk reads Quake 3 levels (IBSP version 46)");
  }
  run.Level.Argument = level;
  return std::nullopt;
}

void Report(const TCommandLine& options, const std::string& text) {
  if (options.Mode == TRunMode::Viewer)
    platform::ShowMessage(text, kApplicationTitle, platform::TMessageIcon::Error);
  else
    std::cerr << "bspwalk: " << text << "\n";
}

// The viewer's level check: the headless modes check the level themselves, with their messages on
// standard error; the viewer would otherwise show the parser's text without the path and carry on.
// The records parsed from `bytes` go to `records` for the window's first load.
std::optional<std::string> ViewerLevelProblem(const std::string& levelPath, const TLevelBytes& bytes,
                                              std::shared_ptr<TBSPFile>& records) {
  try {
    const TLevelFile file = LevelFileOf(levelPath, bytes);
    TBSPFile parsed = ParseBSP(file.Data());
    if (bytes) records = std::make_shared<TBSPFile>(std::move(parsed));
  } catch (const ELevelFile& e) {
    return e.what();
  } catch (const std::exception& e) {
    return levelPath + ": not a usable BSP file: " + e.what();
  }
  return std::nullopt;
}

// The load options of a run that reads game data: lightmap images optional (lgmp/ may be missing),
// the level and its images read through the run's source, and the shader scripts and their images
// taken from the search path. The fidelity options add theirs before the run (app/cli/Fidelity.h).
void ApplyGameData(const data::TSearchPath& searchPath, const platform::TFileSource& files,
                   platform::TBudget& budget, TLevelOptions& level) {
  level.LightmapFilesOptional = true;
  level.Files = &files;
  level.Budget = &budget;
  const data::TSearchPath* path = &searchPath;
  level.ShaderSource.ScriptNames = [path] {
    std::vector<std::string> names;
    for (const data::TEntryInfo& script : path->List("scripts", ".shader")) names.push_back(script.Name);
    return names;
  };
  level.ShaderSource.Read = [path](const std::string& name) { return path->Read(name); };
  level.ShaderSource.ImageExists = [path](const std::string& name) { return path->Exists(name); };
  level.ShaderSource.Size = [path](const std::string& name) -> std::optional<std::uint64_t> {
    const std::optional<data::TEntryInfo> found = path->Find(name);
    if (!found) return std::nullopt;
    return found->Size;
  };
  level.ShaderSource.ReadAhead = [path](const std::vector<std::string>& names) { path->ReadAhead(names); };
}

}  // namespace

platform::TFileSource RunFileSource(const TRunLevel& level, const data::TSearchPath& path) {
  platform::TFileSource files;
  // An absolute path (the program's own font beside an installed program) is no game-data name:
  // it is read from the disk as it is.
  files.Exists = [&level, &path](const std::string& name) {
    std::error_code ec;
    if (fs::path(name).is_absolute()) return fs::is_regular_file(name, ec);
    if (name == level.Argument) return level.DiskPath.empty() || fs::is_regular_file(level.DiskPath, ec);
    return path.Exists(name);
  };
  files.Read = [&level, &path](const std::string& name) -> std::optional<std::vector<std::uint8_t>> {
    if (fs::path(name).is_absolute() && name != level.Argument) return ReadDiskFile(name, SIZE_MAX);
    if (name != level.Argument) return path.Read(name);
    if (!level.DiskPath.empty()) return ReadDiskFile(level.DiskPath, SIZE_MAX);
    return level.Archived;
  };
  files.ReadAhead = [&path](const std::vector<std::string>& names) { path.ReadAhead(names); };
  return files;
}

bool AddEnvironmentData(TCommandLine& options, const char* value, std::ostream& err) {
  if (!options.DataPaths.empty() || !value) return true;
  const std::string list = value;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t colon = list.find(':', start);
    if (colon == std::string::npos) colon = list.size();
    const std::string path = list.substr(start, colon - start);
    start = colon + 1;
    if (path.empty()) continue;
    std::error_code ec;
    if (!fs::is_directory(path, ec) && !fs::is_regular_file(path, ec)) {
      err << "bspwalk: BSPWALK_DATA: " << path << ": no such folder or .pk3 file\n";
      return false;
    }
    options.DataPaths.push_back(fs::absolute(path, ec).lexically_normal().string());
  }
  return true;
}

bool UsesGameData(const TCommandLine& options) {
  return options.LevelGiven || !options.DataPaths.empty() || options.Mode == TRunMode::List ||
         options.Mode == TRunMode::Gallery;
}

int RunWithGameData(TCommandLine options) {
  TRunData run;
  std::error_code ec;
  const std::string base = fs::current_path(ec).string();
  const auto warn = [](const std::string& line) { std::cerr << "bspwalk: warning: " << line << "\n"; };
  run.Budget.SetWarningSink(warn);
  run.Path = std::make_unique<data::TSearchPath>(options.DataPaths, base, warn, &run.Budget);
  run.DataPaths = options.DataPaths;
  if (options.Mode == TRunMode::List) return PrintList(options, *run.Path);
  if (options.Mode == TRunMode::Gallery) return RunGallery(options, *run.Path);

  if (const std::optional<std::string> problem = FindLevel(run, options.LevelPath)) {
    if (options.Mode == TRunMode::Viewer) {
      platform::ShowMessage(*problem, kApplicationTitle, platform::TMessageIcon::Error);
    } else {
      std::cerr << "bspwalk: " << *problem << "\n";
    }
    return 1;
  }
  run.Files = RunFileSource(run.Level, *run.Path);
  // A level of the game data has its lightmap files beside it in the game data; a level file's
  // are beside the file (the loader's own rule).
  if (!run.LevelName.empty()) options.LevelOptions.LightmapFolder = LightmapFolderOf(run.LevelName);
  // Everything the run reads (level, images, font) comes through the search path from here on.
  const platform::TScopedFileSource source(run.Files);
  ApplyGameData(*run.Path, run.Files, run.Budget, options.LevelOptions);
  // Read once here for every step below and the run's own that reads the level.
  options.LevelBytes = ReadLevelBytes(options.LevelPath);

  if (options.Mode == TRunMode::Viewer) {
    const std::optional<std::string> problem =
        ViewerLevelProblem(options.LevelPath, options.LevelBytes, options.LevelRecords);
    if (problem) {
      Report(options, *problem);
      return 1;
    }
  }
  if (const std::optional<std::string> problem = ChooseStartPose(options)) {
    Report(options, *problem);
    return 1;
  }
  const int exitCode = options.Mode != TRunMode::Viewer ? RunHeadlessFor(options) : RunViewerFor(options);
  run.Budget.Report();  // what was left out after the load (the load reports its own)
  return exitCode;
}

}  // namespace app
