// --export through the program on levels made here: what the glTF file holds, byte for byte where
// it matters, and what the run refuses, with the viewer's own messages and nothing left behind.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>

#include "level/BrushModels.h"
#include "level/ExportPlan.h"
#include "support/BspWriter.h"
#include "support/Gltf.h"
#include "support/ImageWriters.h"
#include "support/Md3Writer.h"
#include "support/Program.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using nlohmann::json;
using testsupport::TBspWriter;
using testsupport::TRun;

namespace {

constexpr float kInch = 0.0254f;

TRun Bspwalk(const std::vector<std::string>& args, const std::string& dir) {
  return testsupport::RunProgram(BSPWALK_PROGRAM, args, dir);
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  fs::create_directories(fs::path(path).parent_path());
  testsupport::WriteFile(path, bytes);
}

void WriteText(const std::string& path, const std::string& text) {
  WriteBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

// Faces: 0 a polygon of two triangles (tex/opaque, lightmap 0), 1 a polygon without mesh vertices
// (a fan; tex/cutout, no lightmap), 2 sky, 3 the door of brush model 1, 4 a 3 x 3 curved surface
// (tex/opaque, lightmap 0). One spawn point.
TBspWriter ExportLevel() {
  TBspWriter w = TBspWriter::SmallLevel("tex/opaque");
  w.Textures.push_back(TBspWriter::Texture("tex/cutout"));
  w.Textures.push_back(TBspWriter::Texture("tex/sky"));
  w.Textures.back().Flags = kSurfaceSky;
  w.Textures.push_back(TBspWriter::Texture("tex/door"));
  w.Faces.push_back(TBspWriter::Face(1, 0, 4, -1));
  w.Faces.push_back(TBspWriter::Face(2, 0, 4, 0));
  w.Faces.push_back(TBspWriter::Face(3, 0, 4, 0));
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) w.Vertices.push_back(TBspWriter::Vertex(32.0f * c, 32.0f * r, 16));
  TBSPFace patch = TBspWriter::Face(0, 4, 9, 0, 2);
  patch.PatchSize[0] = patch.PatchSize[1] = 3;
  w.Faces.push_back(patch);
  const TBSPModel models[2] = {{{}, {}, 0, 3, 0, 0}, {{0, 0, 0}, {64, 64, 0}, 3, 1, 0, 0}};
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(models);
  w.SetRawLump(kModels, {bytes, bytes + sizeof models});
  w.Entities = "{\n\"classname\" \"info_player_deathmatch\"\n\"origin\" \"10 20 30\"\n\"angle\" \"90\"\n}\n";
  return w;
}

// The level with its images: an 8 x 8 JPEG, a 2 x 2 TGA with alpha (bottom row stored first) under
// a shader with an alpha test, drawn from both sides.
void WriteExportLevel(const testsupport::TTempDir& dir) {
  ExportLevel().WriteTo(dir / "s.bsp");
  WriteBytes(dir / "tex/opaque.jpg", testsupport::MakeJPEG(8, 8, 3, std::vector<std::uint8_t>(192, 90)));
  WriteBytes(dir / "tex/cutout.tga",
                         testsupport::MakeTGA(2, 2, {1, 2, 3, 0, 1, 2, 3, 0, 10, 20, 30, 255, 10, 20, 30, 255},
                                              {.Depth = 32}));
  WriteText(dir / "scripts/a.shader", "tex/cutout { cull none\n { map tex/cutout.tga\n alphaFunc GE128 }\n }\n");
}

std::vector<std::uint8_t> DecodePNG(const std::vector<std::uint8_t>& bytes) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return {};
  image.format = PNG_FORMAT_RGBA;
  std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
  png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr);
  return pixels;
}

TEST(Export, FileHoldsTheDrawnFacesInGltfFrameWithImagesLightmapsAndSpawnPoints) {
  testsupport::TTempDir dir;
  WriteExportLevel(dir);
  const TRun run = Bspwalk({"--export", "s.glb", "--full", "--tess", "2", "s.bsp"}, dir.Path());
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Err, "");
  const testsupport::TGltfFile file = testsupport::ReadGltf(dir / "s.glb");
  const json& j = file.Json;
  EXPECT_EQ(j["asset"], json::parse(R"({"version": "2.0", "generator": "bspwalk )" BSPWALK_VERSION R"(",
                                        "extras": {"level": "s"}})"));
  // The world, the door of brush model 1 at the centre of its box (--full draws brush models),
  // then the spawn point; the sky is not drawn.
  ASSERT_EQ(j["nodes"].size(), 3u);
  EXPECT_EQ(j["nodes"][0], json::parse(R"({"name": "world", "mesh": 0})"));
  EXPECT_EQ(j["nodes"][1]["name"], "*1");
  EXPECT_EQ(j["nodes"][1]["mesh"], 1);
  EXPECT_EQ(j["nodes"][1]["translation"], (std::vector<double>{32 * kInch, 0, -32 * kInch}));
  EXPECT_EQ(j["nodes"][2]["name"], "info_player_deathmatch");
  EXPECT_EQ(j["nodes"][2]["translation"], (std::vector<double>{10 * kInch, 30 * kInch, -20 * kInch}));
  EXPECT_EQ(j["nodes"][2]["extras"], json::parse(R"({"classname": "info_player_deathmatch", "origin": [10, 20, 30], "angle": 90})"));
  EXPECT_EQ(j["scenes"][0]["nodes"], json::parse("[0, 1, 2]"));
  ASSERT_EQ(j["meshes"].size(), 2u);
  EXPECT_EQ(j["meshes"][1]["primitives"][0]["material"], 2);
  const json& primitives = j["meshes"][0]["primitives"];
  ASSERT_EQ(primitives.size(), 2u);
  // Material 0: the polygon and the curved surface (2 + 2 x 2 x 2 triangles), lightmapped.
  const json& lit = primitives[0];
  EXPECT_EQ(lit["material"], 0);
  const auto indices = file.Values<std::uint32_t>(lit["indices"]);
  ASSERT_EQ(indices.size(), 30u);
  EXPECT_EQ(std::vector<std::uint32_t>(indices.begin(), indices.begin() + 6), (std::vector<std::uint32_t>{0, 2, 1, 0, 3, 2}));
  const auto positions = file.Values<float>(lit["attributes"]["POSITION"]);
  EXPECT_EQ(std::vector<float>(positions.begin() + 6, positions.begin() + 9), (std::vector<float>{64 * kInch, 0, -64 * kInch}));
  EXPECT_EQ(j["accessors"][lit["attributes"]["POSITION"].get<int>()]["max"], (std::vector<double>{64 * kInch, 16 * kInch, 0}));
  const auto normals = file.Values<float>(lit["attributes"]["NORMAL"]);
  EXPECT_EQ(std::vector<float>(normals.begin(), normals.begin() + 3), (std::vector<float>{0, 1, 0}));
  EXPECT_EQ(file.Values<float>(lit["attributes"]["TEXCOORD_0"])[4], 1);
  EXPECT_EQ(file.Values<float>(lit["attributes"]["TEXCOORD_1"])[5], 1);
  // Material 1: the fan, without a lightmap and so without TEXCOORD_1.
  EXPECT_EQ(file.Values<std::uint32_t>(primitives[1]["indices"]), (std::vector<std::uint32_t>{0, 2, 1, 0, 3, 2}));
  EXPECT_FALSE(primitives[1]["attributes"].contains("TEXCOORD_1"));
  EXPECT_EQ(j["materials"], json::parse(R"([
      {"name": "tex/opaque", "extras": {"lightmapTexture": {"index": 2, "texCoord": 1}},
       "pbrMetallicRoughness": {"baseColorTexture": {"index": 0}, "metallicFactor": 0.0}},
      {"name": "tex/cutout", "alphaMode": "MASK", "doubleSided": true,
       "pbrMetallicRoughness": {"baseColorTexture": {"index": 1}, "metallicFactor": 0.0}},
      {"name": "tex/door", "extras": {"lightmapTexture": {"index": 2, "texCoord": 1}},
       "pbrMetallicRoughness": {"metallicFactor": 0.0}}])"));
  // The JPEG as its file; the TGA as PNG, top row first; the atlas brightened as the viewer does.
  EXPECT_EQ(j["images"][0]["mimeType"], "image/jpeg");
  EXPECT_EQ(file.ImageBytes(0), testsupport::ReadFile(dir / "tex/opaque.jpg"));
  EXPECT_EQ(DecodePNG(file.ImageBytes(1)), (std::vector<std::uint8_t>{30, 20, 10, 255, 30, 20, 10, 255, 3, 2, 1, 0, 3, 2, 1, 0}));
  EXPECT_EQ(DecodePNG(file.ImageBytes(2))[0], 2 * 40 + 80);
  EXPECT_EQ(j["textures"][2]["sampler"], 1);
  EXPECT_EQ(j["samplers"][1]["wrapS"], 33071);

  // --info counts what the file holds.
  const json info = json::parse(Bspwalk({"--info", "--json", "--full", "--tess", "2", "s.bsp"}, dir.Path()).Out);
  EXPECT_EQ(info["Drawn"], json::parse(R"({"Faces": 4, "Triangles": 14, "Materials": 3})"));
}

// --full adds the items (an item_health, suspended: where it stands plus the hover; its second
// model missing) and --shaders the sky (a far box of six images and one cloud layer that
// multiplies); without them the file is the level's alone.
TEST(Export, ItemsAndSkyAreNodesOfTheirOwnWithTheirMaterials) {
  testsupport::TTempDir dir;
  WriteExportLevel(dir);
  TBspWriter level = ExportLevel();
  level.Entities += "{\n\"classname\" \"item_health\"\n\"origin\" \"16 16 40\"\n\"angle\" \"90\"\n\"spawnflags\" \"1\"\n}\n";
  level.WriteTo(dir / "s.bsp");
  testsupport::TMd3Writer model;
  model.Surfaces = {testsupport::TMd3Writer::Square(8)};
  WriteBytes(dir / "models/powerups/health/medium_cross.md3", model.Bytes());
  const std::vector<std::uint8_t> texel = testsupport::MakeTGA(1, 1, {9, 8, 7}, {.Depth = 24});
  WriteBytes(dir / "models/test/skin.tga", texel);
  for (const char* side : {"rt", "bk", "lf", "ft", "up", "dn"}) WriteBytes(dir / (std::string("env/box_") + side + ".tga"), texel);
  WriteBytes(dir / "sky/cloud.tga", texel);
  WriteText(dir / "scripts/b.shader",
            "tex/sky { surfaceparm sky\n skyparms env/box 512 -\n { map sky/cloud.tga\n blendFunc filter\n } }\n");
  // The item's ring: a model that cannot be read is left out, the item kept.
  WriteBytes(dir / "models/powerups/health/medium_sphere.md3", {'I', 'D', 'P', '3', 15, 0, 0, 0});
  std::vector<float> firstCorner;  // of the sky's rt side, as the viewer places it
  for (const bool shaders : {false, true}) {
    const std::vector<std::string> args = shaders ? std::vector<std::string>{"--export", "plain.glb", "--shaders", "s.bsp"}
                                                  : std::vector<std::string>{"--export", "plain.glb", "s.bsp"};
    ASSERT_EQ(Bspwalk(args, dir.Path()).ExitCode, 0);
    std::vector<std::string> names;
    const testsupport::TGltfFile plain = testsupport::ReadGltf(dir / "plain.glb");
    for (const json& node : plain.Json["nodes"]) names.push_back(node["name"]);
    EXPECT_EQ(names, (shaders ? std::vector<std::string>{"world", "sky", "info_player_deathmatch"}
                              : std::vector<std::string>{"world", "info_player_deathmatch"}));
    if (shaders) firstCorner = plain.Values<float>(plain.Json["meshes"][1]["primitives"][0]["attributes"]["POSITION"]);
  }
  const TRun run = Bspwalk({"--export", "s.glb", "--full", "--verbose", "s.bsp"}, dir.Path());
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_NE(run.Err.find("bspwalk: warning: models/powerups/health/medium_sphere.md3: not an MD3 model (8 bytes): "
                         "left out of the items\n"), std::string::npos) << run.Err;
  const testsupport::TGltfFile file = testsupport::ReadGltf(dir / "s.glb");
  const json& j = file.Json;
  ASSERT_EQ(j["nodes"].size(), 5u);
  EXPECT_EQ(j["nodes"][2]["name"], "sky");
  const json& item = j["nodes"][3];
  EXPECT_EQ(item["name"], "item_health");
  EXPECT_EQ(item["extras"], json::parse(R"({"classname": "item_health", "entity": 1, "place": [16, 16, 44]})"));
  EXPECT_EQ(item["translation"], (std::vector<double>{16 * kInch, 44 * kInch, -16 * kInch}));
  EXPECT_NEAR(item["rotation"][1].get<double>(), std::sqrt(0.5), 1e-6);
  EXPECT_NEAR(item["rotation"][3].get<double>(), std::sqrt(0.5), 1e-6);
  // The square in the model's frame, wound the other way round for glTF, lit as the viewer does.
  ASSERT_EQ(j["meshes"][item["mesh"].get<int>()]["primitives"].size(), 1u);
  const json& square = j["meshes"][item["mesh"].get<int>()]["primitives"][0];
  EXPECT_EQ(file.Values<std::uint32_t>(square["indices"]), (std::vector<std::uint32_t>{0, 2, 3, 0, 1, 2}));
  EXPECT_EQ(file.Values<float>(square["attributes"]["POSITION"])[0], -4 * kInch);
  EXPECT_EQ(j["accessors"][square["attributes"]["COLOR_0"].get<int>()]["count"], 4);
  const json& skin = j["materials"][square["material"].get<int>()];
  EXPECT_EQ(skin["name"], "models/test/skin");
  EXPECT_EQ(skin["extras"], json::parse(R"({"surface": "item"})"));
  // The sky: six clamped sides, then the layer with its blend for the page.
  const json& sky = j["meshes"][j["nodes"][2]["mesh"].get<int>()]["primitives"];
  ASSERT_EQ(sky.size(), 7u);
  std::vector<std::string> materials;
  for (const json& primitive : sky) materials.push_back(j["materials"][primitive["material"].get<int>()]["name"]);
  EXPECT_EQ(materials, (std::vector<std::string>{"sky rt", "sky bk", "sky lf", "sky ft", "sky up", "sky dn", "sky layer 1"}));
  // A world without a box of its own: 4096 units around the origin. --full joins the sides as
  // their images' edges join (rt towards +X, not -Y).
  EXPECT_EQ(std::vector<float>(firstCorner.begin(), firstCorner.begin() + 3),
            (std::vector<float>{4096 * kInch, -4096 * kInch, 4096 * kInch}));
  const auto joined = file.Values<float>(sky[0]["attributes"]["POSITION"]);
  EXPECT_EQ(std::vector<float>(joined.begin(), joined.begin() + 3), (std::vector<float>{4096 * kInch, -4096 * kInch, -4096 * kInch}));
  const json& side = j["materials"][sky[0]["material"].get<int>()];
  EXPECT_EQ(j["samplers"][j["textures"][side["pbrMetallicRoughness"]["baseColorTexture"]["index"].get<int>()]["sampler"].get<int>()]["wrapS"],
            33071);
  const json& layer = j["materials"][sky[6]["material"].get<int>()];
  EXPECT_EQ(layer["extras"], json::parse(R"({"surface": "sky layer", "blendFunc": "GL_DST_COLOR GL_ZERO"})"));
  EXPECT_EQ(layer["alphaMode"], "BLEND");
}

// A surface drawn by more than image and lightmap carries its stages for the page: an
// environment map added, its texture matrix, and the lightmap at twice the product (the
// file's lightmaps carry the design's light, even under --full's game light).
TEST(Export, StagesBeyondImageAndLightmapAreInTheMaterialsExtras) {
  testsupport::TTempDir dir;
  WriteExportLevel(dir);
  WriteBytes(dir / "tex/env.tga", testsupport::MakeTGA(1, 1, {1, 2, 3}, {.Depth = 24}));
  WriteText(dir / "scripts/c.shader",
            "tex/opaque {\n { map tex/opaque.jpg }\n { map tex/env.tga\n tcGen environment\n blendFunc add\n"
            " tcMod scale 2 3 }\n { map $lightmap\n blendFunc filter }\n}\n");
  const TRun run = Bspwalk({"--export", "s.glb", "--full", "s.bsp"}, dir.Path());
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  const testsupport::TGltfFile file = testsupport::ReadGltf(dir / "s.glb");
  const json& material = file.Json["materials"][0];
  EXPECT_EQ(material["name"], "tex/opaque");
  EXPECT_EQ(material["pbrMetallicRoughness"]["baseColorTexture"]["index"], 0);
  EXPECT_EQ(material["extras"], json::parse(R"({"lightmapTexture": {"index": 3, "texCoord": 1}, "stages": [
      {"texture": 0, "matrix": [1, 0, 0, 1, 0, 0], "colour": [1, 1, 1, 1]},
      {"texture": 2, "environment": true, "blendFunc": "GL_ONE GL_ONE", "matrix": [2, 0, 0, 3, 0, 0],
       "colour": [1, 1, 1, 1]},
      {"lightmap": true, "blendFunc": "GL_DST_COLOR GL_SRC_COLOR", "matrix": [1, 0, 0, 1, 0, 0],
       "colour": [1, 1, 1, 1]}]})"));
  // The cut-out surface (an alpha test) is left to its material.
  EXPECT_FALSE(file.Json["materials"][1].contains("extras"));
}

TEST(Export, GltfWithFilesBesideItAndTheScaleAsked) {
  testsupport::TTempDir dir;
  WriteExportLevel(dir);
  fs::create_directory(dir / "out");
  for (int pass = 0; pass < 2; ++pass) {  // the second replaces the first's files
    const TRun run = Bspwalk({"--export", "out/s.gltf", "--export-scale", "1", "--shaders", "s.bsp"}, dir.Path());
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
  }
  std::set<std::string> files;
  for (const auto& entry : fs::directory_iterator(dir / "out")) files.insert(entry.path().filename());
  EXPECT_EQ(files, (std::set<std::string>{"s.gltf", "s.bin", "s_0.jpg", "s_1.png", "s_2.png"}));
  const testsupport::TGltfFile file = testsupport::ReadGltf(dir / "out/s.gltf");
  EXPECT_EQ(file.Json["buffers"][0]["uri"], "s.bin");
  EXPECT_EQ(file.Json["images"][1], json::parse(R"({"name": "tex/cutout.tga", "uri": "s_1.png"})"));
  const auto positions = file.Values<float>(file.Json["meshes"][0]["primitives"][0]["attributes"]["POSITION"]);
  EXPECT_EQ(std::vector<float>(positions.begin() + 3, positions.begin() + 6), (std::vector<float>{64, 0, 0}));
}

// An earlier export is recognised wherever its "asset" key stands, and names in Latin-1 (the
// level's own bytes) are written as the JSON reports write them.
TEST(Export, ReplacesItsOwnGltfAndWritesLatin1Names) {
  testsupport::TTempDir dir;
  TBspWriter::SmallLevel("tex/caf\xe9").WriteTo(dir / "l.bsp");
  WriteText(dir / "old.gltf", "{\"accessors\": [" + std::string(20000, ' ') + "], \"asset\": {\"version\": \"2.0\"}}");
  const TRun run = Bspwalk({"--export", "old.gltf", "l.bsp"}, dir.Path());
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(testsupport::ReadGltf(dir / "old.gltf").Json["materials"][0]["name"], "tex/caf\u00e9");
  // A level with nothing to draw has no buffer (an empty one is not valid glTF).
  TBspWriter empty = TBspWriter::SmallLevel();
  empty.Faces.clear();
  empty.LeafFaces.clear();
  empty.Lightmaps.clear();
  for (TBSPLeaf& leaf : empty.Leaves) leaf.NumLeafFaces = 0;
  empty.WriteTo(dir / "empty.bsp");
  ASSERT_EQ(Bspwalk({"--export", "empty.glb", "empty.bsp"}, dir.Path()).ExitCode, 0);
  const nlohmann::json document = testsupport::ReadGltf(dir / "empty.glb").Json;
  EXPECT_FALSE(document.contains("buffers")) << document.dump();
  EXPECT_EQ(document["asset"]["version"], "2.0");
}

TEST(Export, UsageMistakesAreNamed) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--export", "s.obj", "s.bsp"}, "--export: 's.obj' does not end in .glb, .gltf or .html"},
      {{"--export", "", "s.bsp"}, "--export needs a file name"},
      {{"--export", "s.glb", "--info", "s.bsp"},
       "--export cannot be combined with --info, --at, --screenshot, --benchmark, --list or --overview"},
      {{"--export-scale", "1", "--info", "s.bsp"}, "--export-scale applies to --export only"},
      {{"--export", "s.glb", "--export-scale", "0", "s.bsp"}, "--export-scale: '0' is not a number above 0 and at most 1000 (metres)"},
      {{"--export", "s.glb", "--json", "s.bsp"}, "--json applies to --info, --at, --benchmark, --list, --entities, --drop, --trace and --walk-path only"},
      {{"--gallery", "g", "s.bsp"}, "--gallery makes a page of every level of the game data; it takes no LEVEL"},
      {{"--gallery", "g", "--list"},
       "--gallery cannot be combined with --info, --at, --screenshot, --benchmark, --list, --overview or --export"},
      {{"--gallery", ""}, "--gallery needs a folder name"},
  };
  testsupport::TTempDir dir;
  for (const auto& [args, message] : cases) {
    const TRun run = Bspwalk(args, dir.Path());
    EXPECT_EQ(run.ExitCode, 2);
    EXPECT_EQ(run.Err, "bspwalk: " + message + " (see bspwalk --help)\n");
  }
}

// A bad level or image costs the export what it costs the viewer's picture, with the same words;
// a refused export leaves no file, and a file that is not glTF is never replaced.
TEST(Export, RefusesWhatTheViewerRefusesAndLeavesNothingBehind) {
  testsupport::TTempDir dir;
  TBspWriter big = TBspWriter::SmallLevel();
  big.Vertices.assign(33 * 33, TBspWriter::Vertex(0, 0, 0));
  TBSPFace patch = TBspWriter::Face(0, 0, 33 * 33, -1, 2);
  patch.PatchSize[0] = patch.PatchSize[1] = 33;
  big.Faces.assign(5, patch);  // 5 x 2 (16 x 64)^2 triangles at --tess 64
  big.WriteTo(dir / "big.bsp");
  std::vector<std::uint8_t> truncated = TBspWriter::SmallLevel().Bytes();
  truncated.resize(100);
  testsupport::WriteFile(dir / "short.bsp", truncated);
  TBspWriter::SmallLevel("img/badtga").WriteTo(dir / "badtga.bsp");
  WriteBytes(dir / "img/badtga.tga", testsupport::MakeTGA(1, 1, {1, 2}, {.Depth = 16}));
  TBspWriter::SmallLevel("img/badjpg").WriteTo(dir / "badjpg.bsp");
  std::vector<std::uint8_t> jpeg = testsupport::MakeJPEG(64, 64, 3, std::vector<std::uint8_t>(64 * 64 * 3, 7));
  jpeg.resize(jpeg.size() * 2 / 3);
  jpeg[jpeg.size() - 40] = 0xFF;
  jpeg[jpeg.size() - 39] = 0xD9;
  WriteBytes(dir / "img/badjpg.jpg", jpeg);
  for (const char* level : {"nothere.bsp", "short.bsp", "badtga.bsp", "badjpg.bsp"}) {
    const TRun shot = Bspwalk({"--screenshot", "shot.png", "--size", "16x16", level}, dir.Path());
    const TRun exported = Bspwalk({"--export", "out.glb", level}, dir.Path());
    EXPECT_EQ(exported.ExitCode, shot.ExitCode) << level;
    EXPECT_EQ(exported.Err, shot.Err) << level;
    EXPECT_EQ(fs::exists(dir / "out.glb"), shot.ExitCode == 0) << level;
    fs::remove(dir / "out.glb");
  }
  const std::pair<std::vector<std::string>, std::string> refusals[] = {
      {{"--export", "big.glb", "--surfaces", "all", "--tess", "64", "big.bsp"},
       "big.bsp: 10485760 triangles to export with curved surfaces at --tess 64, more than the "
       "10000000 an export takes"},
      {{"--export", "notes.glb", "badtga.bsp"}, "notes.glb exists and is not a glTF file; it is left as it is"},
      {{"--export", "taken.gltf", "badtga.bsp"}, "taken.bin exists beside the new taken.gltf; it is left as it is"},
      {{"--export", "nofolder/x.glb", "badtga.bsp"}, "cannot write nofolder/x.glb: No such file or directory"},
      {{"--export", "folder.glb", "badtga.bsp"}, "folder.glb is a folder; give the export a file name"},
      {{"--export", "fifo.glb", "badtga.bsp"}, "fifo.glb exists and is not a glTF file; it is left as it is"},
  };
  fs::create_directory(dir / "folder.glb");
  ASSERT_EQ(::mkfifo((dir / "fifo.glb").c_str(), 0600), 0);
  WriteText(dir / "notes.glb", "my notes");
  WriteText(dir / "taken.bin", "mine");
  for (const auto& [args, message] : refusals) {
    const TRun run = Bspwalk(args, dir.Path());
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_NE(run.Err.find("bspwalk: " + message + "\n"), std::string::npos) << run.Err;
    EXPECT_LT(run.CpuSeconds, 2);
  }
  EXPECT_EQ(testsupport::ReadFile(dir / "notes.glb"), (std::vector<std::uint8_t>{'m', 'y', ' ', 'n', 'o', 't', 'e', 's'}));
  EXPECT_EQ(testsupport::ReadFile(dir / "taken.bin").size(), 4u);
  std::set<std::string> left;
  for (const auto& entry : fs::directory_iterator(dir.Path())) left.insert(entry.path().filename());
  EXPECT_EQ(left, (std::set<std::string>{"big.bsp", "short.bsp", "badtga.bsp", "badjpg.bsp", "img", "notes.glb",
                                          "taken.bin", "shot.png", "folder.glb", "fifo.glb"}));
}

}  // namespace
