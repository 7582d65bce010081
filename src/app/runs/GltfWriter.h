#pragma once
// The glTF 2.0 file of an export, written with tinygltf: a binary .glb holding everything, or a
// .gltf with its buffer (.bin) and images beside it. Each file is written under a temporary name
// and put in place only when whole (the .gltf last), so a failed or interrupted export leaves
// nothing partial.
#include <array>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "app/runs/ExportImages.h"
#include "level/ExportGeometry.h"
#include "level/LevelFile.h"
#include "level/SpawnPoints.h"

namespace app {

// One of the shader stages a material's surface is drawn with, for the page (extras "stages"):
// each stage's texel times its colour, blended over the stages before it as its blendFunc says.
struct TGltfStage {
  std::int32_t Image = -1;    // index into TGltfScene::Images; -1: white (or the lightmap)
  bool Lightmap = false;      // the material's lightmap atlas over TEXCOORD_1
  bool Environment = false;   // coordinates from the eye's direction mirrored in the normal
  bool Clamp = false;         // clampMap: the image's edges stretched past it, not repeated
  std::string BlendFunc;      // "GL_DST_COLOR GL_ZERO" and the like; empty: the stage replaces
  // The stage's texture matrix at the export's time, on the viewer's (s, t), t counted up the
  // image: s' = m0 s + m2 t + m4, t' = m1 s + m3 t + m5.
  std::array<float, 6> Matrix{1, 0, 0, 1, 0, 0};
  std::array<float, 4> Colour{1, 1, 1, 1};
};

struct TGltfMaterial {
  std::string Name;
  std::int32_t Image = -1;           // index into TGltfScene::Images; -1: plain white
  std::string AlphaMode = "OPAQUE";  // "OPAQUE", "MASK" or "BLEND"
  double AlphaCutoff = 0.5;          // with MASK
  bool DoubleSided = false;
  std::int32_t Atlas = -1;           // index into TGltfScene::Atlases; -1: no lightmap
  // Written into the material's extras as strings, for the page and any reader that wants them
  // (how an item's or a sky layer's surface is drawn); none for the level's own materials.
  std::vector<std::pair<std::string, std::string>> Notes;
  std::vector<TGltfStage> Stages;  // with --shaders, for surfaces drawn by more than image and lightmap
};

// An item's model: each surface's geometry in the model's own frame (glTF's axes, scaled, wound
// as glTF keeps them), written once and shared by the nodes of its items. Colours stay empty.
struct TGltfItemModel {
  std::string Name;  // the model's file
  std::vector<TExportPrimitive> Surfaces;
};

// An item: a node of its own at its resting place, turned by its angle, showing its models'
// surfaces lit as the viewer lights them (four colours per vertex, per model surface in order).
struct TGltfItem {
  std::string ClassName;
  std::int32_t Entity = 0;
  std::array<float, 3> Place{};  // level units, as the level holds the resting place
  std::array<float, 3> Translation{};
  std::array<float, 4> Rotation{0, 0, 0, 1};
  std::vector<std::int32_t> Models;  // into TGltfScene::ItemModels
  std::vector<std::vector<std::uint8_t>> Colours;  // per surface of Models[0], then Models[1]
};

struct TGltfScene {
  std::string LevelName;  // in asset.extras and as the scene's name
  std::string Generator;  // "bspwalk <version>"
  std::vector<TExportMesh> Meshes;  // the world first; emptied as they are written
  std::vector<TGltfMaterial> Materials;
  std::vector<TEncodedImage> Images;   // surface images
  std::vector<TEncodedImage> Atlases;  // lightmap atlases, PNG
  std::vector<TSpawnPoint> Spawns;
  std::vector<TGltfItemModel> ItemModels;  // with --full
  std::vector<TGltfItem> Items;
  float Scale = kMetresPerUnit;
};

// A name the export may write: it ends in ".glb" or ".gltf" (any letter case).
bool IsGltfName(const std::string& path);

// Whether the export may write at `path`: nothing is there, or a glTF file (binary glTF's magic,
// or JSON text with an "asset") that it replaces. Anything else is left alone, with one line on
// `err`.
bool MayWriteGltf(const std::string& path, std::ostream& err);

// Writes the scene; returns the bytes written in all files. Raises std::runtime_error naming the
// file that could not be written, or a side file that exists beside a new .gltf (it is left alone).
std::uint64_t WriteGltf(TGltfScene& scene, const std::string& path);

// The scene as the bytes of a .glb, for a file that carries it inside (the web page).
std::string GltfBinary(TGltfScene& scene);

}  // namespace app
