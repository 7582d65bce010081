#pragma once
// --export FILE.glb | FILE.gltf: the level as a glTF 2.0 file for Blender, three.js and any glTF
// viewer, with its surface images, lightmaps, curved surfaces, brush models and spawn points. No
// window and no GL: the level model and the images are loaded and decoded, never uploaded.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "app/runs/LightmapReport.h"
#include "app/runs/RunOptions.h"
#include "level/BSPFile.h"
#include "level/ExportPlan.h"
#include "level/LevelFile.h"

namespace app {

// The level name an export records: the file name without folder and ".bsp".
std::string LevelNameOf(const std::string& levelPath);

// What an export with these options holds, from the records alone (--info's count and the bound
// checked before anything is loaded). `states` is per texture with --shaders, empty without;
// `files`, the lightmaps' pages when they come from files (else the lump's count them);
// `mostMaterials`, what the run's budget leaves (the export's own plan; --info counts them all).
TExportPlan PlanExportOf(const TLevelFile& file, const TBSPFile& records, const TRunOptions& options,
                         std::span<const shaders::TDrawState> states, const TLightmapFilePages* files = nullptr,
                         std::size_t mostMaterials = SIZE_MAX);

// The whole run; returns the exit code: 0 written, 1 when the level, an image or the file cannot
// be used or written (one line on standard error, nothing left behind).
int RunExport(const TRunOptions& options);

}  // namespace app
