#pragma once
// LoadBSP's steps without the GL, for runs that want the level model and not a picture (the glTF
// export): the model built, grouped and checked exactly as LoadBSP builds it, but each texture's
// images are named to the caller instead of uploaded, and the lightmaps are kept as read.
#include <functional>
#include <string>
#include <vector>

#include "level/Q3BSP.h"
#include "level/Q3BSP_load.h"
#include "level/Q3BSP_shading.h"

// Per texture, the image files a load tries in order (the last that loads wins): name.jpg then
// name.tga where they exist, or with --shaders the files the shader scripts choose.
using TSurfaceImageNames = std::vector<std::vector<std::string>>;

// For runs that want the level's things as well (the export's items and sky): called when the
// level model is complete and its entities are placed (LoadLevelThings), with the load's records,
// bytes and shader table, and what the shader scripts described (null without --shaders).
using TAfterLevelModel = std::function<void(TQuake3BSP& level, const TLevelLoad& load, const TShadedImages* shaded)>;

// Fills the level as LoadBSP does and calls readImages where LoadBSP loads the surface images (the
// game data's source and its read-ahead in force); SurfaceTextures and LightmapTextures stay 0.
// False only when the file cannot be read, after "Could not find the BSP file!"; the file's errors
// pass on as LoadBSP's do, before the level is touched, and so does what readImages raises.
bool LoadLevelModel(TQuake3BSP& level, const std::string& fileName, const TLevelOptions& options,
                    const std::function<void(const TSurfaceImageNames&)>& readImages,
                    std::vector<TBSPLightmap>& lightmaps, const TAfterLevelModel& after = {});
