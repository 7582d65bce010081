#pragma once
// What an export holds beyond the level's faces: the items as their MD3 models (--full), each a node
// of its own placed and lit as the viewer places and lights it, and the sky (--shaders): the sky
// shader's far box and its cloud layers as a node "sky" around the level, its materials named
// "sky ..." with extras saying how each layer blends. Read through the same files, skins and shader
// scripts as the viewer's, with no GL: the images are decoded and encoded for the file.
#include <optional>
#include <string>
#include <vector>

#include "app/runs/GltfWriter.h"
#include "level/ExportPlan.h"
#include "level/ModelLoad.h"

namespace app {

// The items' and sky's part of a scene, their material and image indices their own (AddThings
// moves them past the level's).
struct TExportThings {
  std::vector<TGltfMaterial> Materials;
  std::vector<TEncodedImage> Images;
  std::vector<TGltfItemModel> ItemModels;
  std::vector<TGltfItem> Items;
  std::optional<TExportMesh> Sky;
  // With --shaders: per texture, per stage, per frame, the image the stage shows (TShadedImages).
  std::vector<std::vector<std::vector<std::string>>> StageImages;
  std::vector<std::string> Warnings;  // models and images that could not be used
};

struct TThingsWanted {
  bool Items = false;  // --full: every item entity's models
  bool Sky = false;    // --shaders: the sky of the first sky texture that has images, and the
                       // stages of the level's surfaces for the page
  bool GameData = false;
  bool JoinedSky = false;  // --joined-sky: the box's sides as their images' edges join
  double Seconds = 0;      // the clock the cloud layers' texture coordinates are taken at (--time)
  float Scale = 0.0254f;   // metres per level unit
};

// The material glTF can give a surface of this draw state (none: opaque), and how its image's
// alpha must read for it.
TGltfMaterial MaterialLookOf(const shaders::TDrawState* state, TAlphaUse& use);

// A blend factor as GL names it ("GL_DST_COLOR").
const char* FactorName(shaders::TBlendFactor factor);

// The stages the page draws for the level's materials (plan order, as scene.Materials holds them)
// whose shader draws more than image and lightmap and that the page can draw as the viewer does: an
// opaque first stage, nothing deformed, one colour a stage, no alpha test. Their images (the frame
// of things.Seconds) go after the scene's.
void AddStages(const TExportPlan& plan, const TQuake3BSP& level, const TExportThings& things,
               const TThingsWanted& wanted, TGltfScene& scene, std::vector<std::string>& warnings);

// The step LoadLevelModel takes when the level is complete (TAfterLevelModel).
void GatherThings(TExportThings& things, const TThingsWanted& wanted, TQuake3BSP& level, const TLevelLoad& load,
                  const TShadedImages* shaded);

// The sky of the level's shading (its first sky texture's) into things.Sky: the far box's six
// sides (clamped images) and the cloud layers as a dome with their texture coordinates at
// wanted.Seconds, around the centre of the world's box and large enough to hold it.
void GatherSky(TExportThings& things, const TThingsWanted& wanted, const TQuake3BSP& level,
               const TShadedImages& shaded);

// The things into the scene: materials and images after the level's, the sky as the last mesh.
void AddThings(TExportThings& things, TGltfScene& scene);

}  // namespace app
