#pragma once
// The level's side of shader scripts (--shaders): each texture's draw state and images decided from
// the scripts before any image is read, and the faces grouped by that state. Pure: no GL. Loading
// the images and drawing with the state are render/'s (Q3BSP_shaders.cpp).
#include <string>
#include <vector>

#include "level/Q3BSP.h"

// The images a load with the shader scripts reads, in the order it reads them.
struct TShadedImages {
  // Per texture, the image files to try in order; none for a surface that is not drawn.
  std::vector<std::vector<std::string>> Surfaces;
  // The sky of the first sky texture that has faces and images: six (rt, bk, lf, ft, up, dn) for
  // its far box, one for its cloud image, none for no sky.
  std::vector<std::string> Sky;
};

// Loads the shader table from the source (the base folder's when empty) and describes every
// texture into level.Shading (States, Origins, the script problems and counts); asks the source to
// read the images ahead when it can. Returns the images to load; the table goes to `keep` when
// given. The shaders kept are taken from the budget when there is one.
TShadedImages DescribeShadedSurfaces(TQuake3BSP& level, const std::vector<TBSPTexture>& textures,
                                     const shaders::TShaderSource& source,
                                     platform::TBudget* budget = nullptr,
                                     shaders::TShaderTable* keep = nullptr);

// After the texture and lightmap groups exist: the lightmap pass's face lists and the totals.
void GroupShadedFaces(TQuake3BSP& level);
