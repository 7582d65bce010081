#pragma once
// --gallery DIR: a web page (--export FILE.html) of every level of the game data and an index page
// linking them, with each level's overview picture, size, counts, spawn points and missing images.
// Each level is made by a run of the program of its own, so that a level that fails (its message
// kept for the index) stops nothing but itself.
#include <string>
#include <vector>

#include "app/runs/RunOptions.h"
#include "data/SearchPath.h"

namespace app {

// One level of the gallery as the index shows it.
struct TGalleryEntry {
  std::string Name;             // the level's name ("oa_dm4")
  std::uint64_t LevelBytes = 0;
  std::uint64_t PageBytes = 0;  // 0: no page
  bool Overview = false;        // NAME.png is beside the page
  long long Faces = 0, Triangles = 0, SpawnPoints = 0, MissingImages = 0;
  std::string Problem;          // why the level has no page; empty when it has one
};

// The index page of the entries (pages NAME.html and pictures NAME.png beside it).
std::string GalleryIndex(const std::vector<TGalleryEntry>& entries);

// The whole run; returns the exit code: 0 when the index is written (failed levels listed in it
// and on standard error), 1 when the folder cannot be made or written, 2 without game data.
int RunGallery(const TRunOptions& options, const data::TSearchPath& path);

}  // namespace app
