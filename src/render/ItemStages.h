#pragma once
// --model-stages: an item surface whose name a shader script defines is drawn stage by stage like a
// level surface (images and animMaps, blendFunc, alpha test, depth, tcMod, tcGen environment, rgbGen
// and alphaGen), so that environment-mapped and glowing parts glow and translucent shells show. A
// model has no lightmap: rgbGen lightingDiffuse (and vertex) takes the item's own light (the light
// grid or the fixed light), alphaGen lightingSpecular a highlight from the fixed light's direction.
#include <array>
#include <cstdint>
#include <vector>

#include "level/Q3BSP.h"

// The highlight alphaGen lightingSpecular gives a vertex seen from the eye: the light's direction
// mirrored in the normal, its cosine with the direction to the eye to the fourth power, 0..255.
std::uint8_t SpecularAlpha(const TVector& position, const TVector& normal, const TVector& eye);

// The items' groups that have a shader (TItemGroup::Shader), the blended ones (`blended`) or the
// opaque ones, each over its items the camera's cluster admits (all with `everything`); seconds is
// the clock of moving stages. Leaves the GL as it found it for the colour array and blending, and
// depth written, culling on, the texture matrix the identity.
void DrawItemStages(TQuake3BSP& level, std::int32_t cameraCluster, bool everything, bool blended,
                    const TVector& eye, double seconds);
