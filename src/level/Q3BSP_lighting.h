#pragma once
// The level's light beyond the lightmap lump, as a load with --external-lightmaps or
// --vertex-light leaves it in the model: which lightmap files were found and used, and the
// brightened vertex colours of the faces lit by their vertices. Plain data; the steps that fill it
// are level/LightmapFiles.h and level/VertexLight.h, the upload and the pass are render/'s.
#include <cstdint>
#include <string>
#include <vector>

#include "genom/genom.h"

// One lightmap file: the name it was found under and the size it was uploaded at; 0 x 0 when it
// could not be used (its faces are then in no lightmap group, drawn without lightmap).
struct TLightmapFile {
  std::string Name;
  std::int32_t Width = 0, Height = 0;
};

struct TLevelLighting {
  // The load's TLevelOptions::GameLight: how every light of the level was turned into texels and
  // colours, and so how the passes multiply them in (once, not twice).
  bool GameLight = false;
  // --external-lightmaps: true when the lightmaps came from files (the lump held none).
  bool FromFiles = false;
  std::string Folder;                 // where the files were looked for, ending in '/'
  std::vector<TLightmapFile> Files;   // one per lightmap, numbered from 0
  std::vector<std::string> Warnings;  // one per file missing or unusable, naming it

  // --vertex-light: per face, the brightened colours of its vertices (alpha 255) when its
  // lightmap index is -3, else empty; the faces lit so, ascending (the plain frame's pass); and,
  // with shader scripts, those whose shader takes the pass, apart by culling.
  std::vector<AGLbyt4> FaceColours;
  std::vector<std::int32_t> VertexLitFaces;
  std::vector<std::int32_t> OneSidedShadedFaces, TwoSidedShadedFaces;
};
