#pragma once
// The renderer's side of the level's light beyond the lightmap lump: lightmap files decoded,
// brightened and uploaded as the lump's lightmaps are (--external-lightmaps), and the pass of the
// faces lit by their vertex colours (--vertex-light).
#include <cstdint>
#include <string>
#include <vector>

#include "level/Q3BSP.h"
#include "level/Q3BSP_load.h"

// When the load asks for lightmap files and the level wants them (an empty lump, faces naming
// lightmaps): finds them (level/LightmapFiles.h), then for each in turn reads it through the
// load's files, decodes it with the picture loaders (top row first), brightens it by the lump's
// rule and uploads it with mipmaps and the lump lightmaps' texture state into LightmapTextures.
// Sets LightmapCount to the files found. A file missing, unreadable, refused by its decoder or
// larger than LargestTextureSide costs one warning naming it (a message, and Lighting.Warnings);
// its faces go without lightmap. The level file's name gives the folder when the options do not.
void UploadLightmapFiles(TQuake3BSP& level, const TLevelLoad& load, const std::string& levelFileName);

// The picture (packed RGB rows, t = 0 first) and its mipmaps into the bound texture: the levels
// gluBuild2DMipmaps would make, computed here for sides that are powers of two (several times
// faster on large pictures), by GLU for other sizes. Any row width; the unpack alignment is put
// back as found.
void UploadLightmapMipmaps(std::uint32_t width, std::uint32_t height, const std::vector<std::uint8_t>& rgb);

// The visible faces of the vertex pass gathered for one draw; kept from frame to frame (in the
// render cache) so that a frame allocates nothing once the largest set has been seen.
struct TVertexLitBatch {
  AGLNrf3 Positions;
  AGLbyt4 Colours;
  std::vector<std::uint32_t> Indices;
};

// The vertex pass over the faces listed (Lighting.VertexLitFaces, or a shaded list): the visible
// ones that the frame draws (polygons; with every surface, whatever has triangles) in one draw,
// untextured, each vertex in its brightened colour. The caller has set the lightmap pass's depth
// test and blend. Texturing, the texture-coordinate array and the current colour are as before.
void DrawVertexLitFaces(const TQuake3BSP& level, TVertexLitBatch& batch, const std::vector<std::int32_t>& faces,
                        bool allSurfaces);

// The blend that multiplies light (a lightmap or the vertex colours) into the picture: twice the
// product under the design's light, the product once under the game's (level/GameLight.h).
void SetLightBlend(const TQuake3BSP& level);

// With shader scripts: the one-sided faces, then the two-sided ones without culling.
void DrawShadedVertexLitFaces(const TQuake3BSP& level, TVertexLitBatch& batch, bool allSurfaces);
