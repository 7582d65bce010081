#pragma once
// Lightmap files as a level compiler writes them, for the tests and benchmarks of
// --external-lightmaps: pictures whose top row is the lightmap's first row, numbered lm_0000,
// lm_0001, ..., and the level with its lightmap lump emptied.
#include <cstdint>
#include <string>
#include <vector>

#include "support/ImageWriters.h"

namespace testsupport {

// A picture file of `rgb` (top row first, 3 bytes a pixel) in the format of `extension`: ".tga"
// stored bottom row first (the format's usual origin), ".png" top row first.
TBytes LightmapPicture(int width, int height, const TBytes& rgb, const std::string& extension);

// Writes each 128 x 128 lightmap of the level's lump as `folder`/lm_NNNN`extension` and returns
// the level's bytes with the lightmap lump's length set to 0.
TBytes MoveLightmapsToFiles(const TBytes& level, const std::string& folder, const std::string& extension);

}  // namespace testsupport
