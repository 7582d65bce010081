#pragma once
// What a level holds beyond its world surfaces: its entities and where each one stands, the brush
// models (models 1..N of the models lump: doors, platforms, movers, static structures) with the
// clusters their boxes reach, and the items drawn as models. Part of the level model
// (TQuake3BSP::Things); texture names are the GL's unsigned 32-bit names, as everywhere there.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "genom/genom.h"
#include "level/BrushModels.h"
#include "level/Entities.h"
#include "level/Md3.h"
#include "shaders/Shaders.h"
#include "shaders/StagePlan.h"

// The families the markers tell apart, each with its colour.
enum class TEntityFamily : std::uint8_t {
  SpawnPoint, Item, Weapon, Ammo, HealthArmour, Light, TeleportTarget, Trigger, Other
};
inline constexpr std::size_t kEntityFamilyCount = 9;

// An entity with a place: its own origin, or the centre of its brush model's box.
struct TPlacedEntity {
  std::int32_t Index = 0;  // in the entity list
  std::string ClassName;
  TVector Position{};
  TVector HalfSize{};      // of its brush model's box; 0 for a point entity
  float Angle = 0;         // degrees from +X towards +Y ("angle", else the yaw of "angles")
  TEntityFamily Family = TEntityFamily::Other;
  bool Point = true;       // placed by its origin alone (no brush model): it gets a marker
  bool SpawnPoint = false; // one of the player starts the spawn-point list names
};

// A brush model that a frame may draw: its faces are drawn when one of the leaves its box touches
// has a cluster the camera's cluster admits.
struct TBrushModel {
  std::int32_t Model = 0;  // 1..N
  TVector Mins{}, Maxs{};
  std::int32_t FirstFace = 0, NumFaces = 0;
  std::vector<std::int32_t> Clusters;  // distinct, ascending, of the leaves the box touches
};

// Item models in world space, grouped by image and draw state so that a frame draws each group
// with one call over the items that the camera's cluster admits.
struct TItemRun {
  std::uint32_t First = 0, Count = 0;  // the item's indices within the group's Indices
  std::int32_t Cluster = -1;           // of the leaf the item stands in
};
// An item the viewer keeps without copying its model: which of the group's meshes it draws, its
// place and turn, and its colours (per vertex of the mesh: its light at that place).
struct TItemInstance {
  std::uint32_t Mesh = 0;
  TVector Position{};
  float Cos = 1, Sin = 0;
  std::int32_t Cluster = -1;
  AGLbyt4 Colours;
};
struct TItemGroup {
  std::string Image;  // the file loaded into Texture (empty: none found)
  std::uint32_t Texture = 0;
  shaders::TDrawState State;
  AGLNrf3 Positions;
  AGLNrf2 Coords;
  AGLbyt4 Colours;  // the model lit from a fixed direction
  std::vector<std::uint32_t> Indices;
  std::vector<TItemRun> Runs;
  // With TLevelOptions::ModelStages and a shader for the surface: its stages, each stage's frames'
  // textures (0: none, drawn white), the normals as placed (AddItemInstance fills them only then),
  // and the frame's coordinates from the eye and stage colours (render/ItemStages.h).
  std::optional<shaders::TShader> Shader;
  shaders::TStagePlan Plan;
  std::vector<std::vector<std::uint32_t>> StageTextures;
  AGLNrf3 Normals;
  AGLNrf2 EnvCoords;
  AGLbyt4 StageColours;
  // The viewer's items share their model's arrays: each model surface once, in the model's own
  // space, and its items; the arrays above then hold only the items a frame admits, placed anew
  // when the admitted set changes (level/Items.h: PlaceSharedItems).
  std::vector<TMd3Surface> Meshes;
  std::vector<TItemInstance> Instances;
};
struct TItemModels {
  std::vector<TItemGroup> Groups;
  std::vector<std::int32_t> Markers;  // places of items whose model was not found
  std::int32_t Items = 0;             // item entities with a model drawn
  std::int32_t ModelsLoaded = 0;      // model files read
  std::int32_t GridLit = 0;           // items lit by the light grid (TLevelOptions::GridLight)
  double LoadMs = 0;
  double ImagesMs = 0;                // of LoadMs: decoding and uploading their images
  std::vector<std::uint32_t> Batch;   // a frame's indices of one group, kept between frames
  // The admitted set the groups' arrays were placed for (the camera's cluster, or every item), and
  // how many item surfaces that placing left out to keep within kMostItemVerticesDrawn.
  std::optional<std::int32_t> PlacedFor;
  std::size_t LeftOutOfFrame = 0;
};

// A link from the place that names a target to a place that carries that name (indices into
// TLevelThings::Places).
struct TEntityLink {
  std::int32_t From = 0, To = 0;
};

// A trigger's volume as one box: a brush's box from its axial sides, or the model's own box.
struct TTriggerBox {
  std::int32_t Place = 0;  // into TLevelThings::Places
  TVector Mins{}, Maxs{};
};

struct TLevelThings {
  TEntityText Entities;
  std::vector<TPlacedEntity> Places;
  std::vector<TBSPModel> Models;          // the models lump as read (lenient: see Things.h)
  std::vector<TBrushModel> BrushModels;   // with TLevelOptions::BrushModels
  TItemModels ItemModels;                 // with TLevelOptions::Items
  std::vector<TEntityLink> Links;         // target to targetname (level/EntityLinks.h)
  std::vector<TTriggerBox> TriggerBoxes;  // the trigger_* entities' brushes
  std::vector<std::string> Warnings;      // places, brush models and items that were skipped
};
