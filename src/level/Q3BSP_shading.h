#pragma once
// The level's side of shader scripts (--shaders): each texture's shader, draw state and stage plan
// decided from the scripts before any image is read, and the faces grouped for drawing. Pure: no
// GL. Loading the images and drawing with the state are render/'s (Q3BSP_shaders.cpp,
// ShaderStages.cpp).
#include <array>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "level/Q3BSP.h"

// The images a load with the shader scripts reads, in the order it reads them.
struct TShadedImages {
  // Per texture, the image files to try in order for its slot; none for a surface that is not
  // drawn.
  std::vector<std::vector<std::string>> Surfaces;
  // Per texture, per stage, per frame: the image file of that frame ("" for none).
  std::vector<std::vector<std::vector<std::string>>> Stages;
  // The sky of the first sky texture that has faces and images: six (rt, bk, lf, ft, up, dn) for
  // its far box, none for no far box.
  std::vector<std::string> Sky;
  // Its cloud stages' images, per stage, per frame.
  std::vector<std::vector<std::string>> SkyStages;
  // --sky-in-view: per entry of TLevelShading::Skies, its box and its stages' images likewise.
  std::vector<std::pair<std::vector<std::string>, std::vector<std::vector<std::string>>>> Skies;
};

// Loads the shader table from the source (the base folder's when empty) and describes every
// texture into level.Shading (States, Origins, Surfaces with their plans, the sky's shader, the
// fogparms, the script problems and counts); asks the source to read the images ahead when it
// can. Returns the images to load; the table goes to `keep` when given. The shaders kept are taken
// from the budget when there is one.
TShadedImages DescribeShadedSurfaces(TQuake3BSP& level, const std::vector<TBSPTexture>& textures,
                                     const shaders::TShaderSource& source,
                                     platform::TBudget* budget = nullptr,
                                     shaders::TShaderTable* keep = nullptr);

// After the texture and lightmap groups exist: the lightmap pass's face lists, the totals, the
// drawing order, the vertex arrays of every face one after the other, and the fog volumes (read
// from the file's bytes; a broken fog record is a problem, not a failure).
void GroupShadedFaces(TQuake3BSP& level, std::span<const std::uint8_t> bytes,
                      const std::array<TBSPLump, kLumpCount>& lumps, std::span<const TBSPPlane> planes);
