#pragma once
// Lightmaps as image files (--external-lightmaps). A level compiler may write the lightmaps as
// maps/<level>/lm_0000.tga, lm_0001.tga, ... instead of into the lightmap lump, which it leaves
// empty; a face's lightmap index then names the file, and its lightmap coordinates address the
// whole picture. This is the level's side: where the files are, which exist, and what becomes of
// the faces of a file that cannot be used. Decoding and upload are render/'s. Pure: no GL; whether
// a file exists is asked of the caller.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "level/Q3BSP.h"

// The extensions a lightmap file may have, in the order they are looked for.
inline constexpr const char* kLightmapFileExtensions[] = {".tga", ".png", ".jpg"};

// The folder of a level's lightmap files: beside the level file, named after its stem, with '/'
// separators ("maps/q3dm1.bsp" and "maps\q3dm1.BSP" give "maps/q3dm1/", "/x/y.bsp" "/x/y/").
std::string LightmapFolderOf(const std::string& levelPath);

// "lm_0000", "lm_0012", "lm_12345": the number in at least four digits, as compilers write it.
std::string LightmapFileStem(std::int32_t number);

// Whether a load looks for lightmap files: the lump holds no lightmap and some face names one.
bool WantsLightmapFiles(std::size_t lumpLightmaps, std::span<const TBSPFace> faces);

struct TLightmapFileList {
  std::vector<std::string> Names;  // the file of lightmap n, for n from 0
  // When faces name a lightmap beyond the files found: one line naming the first file missing
  // and the lightmaps left without one.
  std::string Warning;
};

// The files of lightmaps 0 up to the highest index a face names: for each number in turn the
// first of .tga, .png and .jpg that `exists` (a file, not a folder), until a number has none, as
// the files are numbered without gaps. Asks at most three names per file found, plus three.
TLightmapFileList FindLightmapFiles(const std::string& folder, std::span<const TBSPFace> faces,
                                    const std::function<bool(const std::string&)>& exists);

// After the lightmap groups are made: the faces of a lightmap whose file could not be used
// (Lighting.Files[m] of size 0) join no group, as faces with a lightmap index out of range.
void LeaveOutUnusableLightmaps(TQuake3BSP& level);
