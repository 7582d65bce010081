#pragma once
// The level model's side of LoadBSP: the file read and checked, the model built from its records,
// the faces grouped by texture and by lightmap, the tree and the visibility data taken over, each
// stage timed. LoadBSP (render/Q3BSP_upload.cpp) runs these steps in this order with the uploads
// of the surface images and the lightmaps between them, as the load has always run.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "level/BSPFile.h"
#include "level/Q3BSP.h"
#include "platform/Files.h"

// The milliseconds since the last lap (or the start), for the stage timings.
class TStopwatch {
 public:
  double LapMs() {
    const auto now = std::chrono::steady_clock::now();
    const double ms = std::chrono::duration<double, std::milli>(now - Start).count();
    Start = now;
    return ms;
  }

 private:
  std::chrono::steady_clock::time_point Start = std::chrono::steady_clock::now();
};

// A source that inflates its files (game-data archives) reads the images ahead on a thread of its
// own while this one decodes and uploads (with --shaders the shader loader says what it reads);
// what nobody asked for is dropped when the load ends.
class TReadAheadScope {
 public:
  TReadAheadScope(const TLevelOptions& options, const std::vector<TBSPTexture>& textures);
  ~TReadAheadScope() {
    if (Files) Files->ReadAhead({});
  }
  TReadAheadScope(const TReadAheadScope&) = delete;
  TReadAheadScope& operator=(const TReadAheadScope&) = delete;

 private:
  const platform::TFileSource* Files;
};

// One load in progress: what its steps hand on to each other. With game data, the level and every
// image read meanwhile come from its source from construction to the end of the load.
struct TLevelLoad {
  explicit TLevelLoad(const TLevelOptions& options);

  const TLevelOptions& Options;
  platform::TBudget OwnBudget;
  platform::TBudget& Budget;  // the run's, or OwnBudget
  TStopwatch Stopwatch;
  TLoadTimings Timings;
  std::optional<platform::TScopedFileSource> Source;
  std::optional<std::vector<std::uint8_t>> Bytes;  // the whole file, kept until the load ends
  TBSPFile File;
  std::optional<TReadAheadScope> ReadAhead;
  // With TLevelOptions::Items, the shader table the surfaces were described with (empty without
  // --shaders): the items' surfaces are described with it too.
  shaders::TShaderTable ShaderTable;
};

// Reads the whole file and checks its records. False after the message "Could not find the BSP
// file!" when it cannot be read; ParseBSP's errors pass on, before the level is touched.
bool ReadLevelFile(TLevelLoad& load, const std::string& fileName);

// The level emptied and built anew from the records: header, counts, faces and their per-face
// arrays (curved surfaces tessellated with TSurfaceSet::All), mesh vertices. Times the reading
// and the tessellation.
void BuildLevelModel(TQuake3BSP& level, TLevelLoad& load);

// Every texture's slot empty (0) before the images load, and the images read ahead when the
// source inflates its files.
void PrepareSurfaceImages(TQuake3BSP& level, TLevelLoad& load);

// The faces of each texture, after the surface images.
void GroupTextureFaces(TQuake3BSP& level);

// After the lightmaps: the faces of each lightmap (and the shaded lightmap lists), the tree,
// leaves, planes and visibility data; the reading time completed and the timings kept; what the
// budget left out reported.
void FinishLevelModel(TQuake3BSP& level, TLevelLoad& load);
