// The real program on a generated corpus of hostile input: levels whose every count lies, cut
// files, and surface images whose headers claim sizes their bytes cannot hold. Each input gets
// its exit status and one clear message (or none), costs at most 2 s of processor time and 512 MB
// of resident memory (the child's own getrusage figures), and nothing is written outside lgmp/.
// Under AddressSanitizer the program is several times slower and its shadow memory and quarantine
// count as resident, so there the bounds are scaled (time x 10, memory x 3): they still catch a
// picture decoded at a size its file cannot hold, which costs many gigabytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>

#include "HostileBounds.h"
#include "support/BspWriter.h"
#include "support/ImageWriters.h"
#include "support/Md3Writer.h"
#include "support/Program.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using testsupport::TBspWriter;
using testsupport::TBytes;

namespace {

using hostile::kMostCpuSeconds;
using hostile::kMostResidentMB;

// --export goes wherever --screenshot goes (and with --full wherever --full goes), and so does
// --fast: the same input costs them the same, in the same words.
enum TMode {
  Info = 1, Shot = 2, Bench = 4, Shaded = 8, Export = 16, Full = 32, FullInfo = 64, FullExport = 128, Fast = 256,
  EntitiesJson = 512, Goto = 1024
};

std::vector<std::string> ArgsFor(TMode mode) {
  switch (mode) {
    case Info: return {"--info", "maps/hostile.bsp"};
    case Shot: return {"--screenshot", "lgmp/shot.png", "--size", "64x48", "maps/hostile.bsp"};
    case Bench: return {"--benchmark", "--frames", "3", "--size", "64x48", "maps/hostile.bsp"};
    case Shaded: return {"--screenshot", "lgmp/shot.png", "--size", "64x48", "--shaders", "maps/hostile.bsp"};
    case Export: return {"--export", "lgmp/level.glb", "maps/hostile.bsp"};
    case Full: return {"--screenshot", "lgmp/shot.png", "--size", "64x48", "--full", "maps/hostile.bsp"};
    case FullInfo: return {"--info", "--full", "maps/hostile.bsp"};
    case FullExport: return {"--export", "lgmp/level.glb", "--full", "maps/hostile.bsp"};
    case Fast: return {"--screenshot", "lgmp/shot.png", "--size", "64x48", "--fast", "maps/hostile.bsp"};
    case EntitiesJson: return {"--entities", "--json", "maps/hostile.bsp"};
    case Goto: return {"--screenshot", "lgmp/shot.png", "--size", "64x48", "--goto", "1", "maps/hostile.bsp"};
  }
  return {};
}

struct TCase {
  std::string Name;
  int Modes;
  std::function<void(const std::string& base)> Make;  // writes maps/hostile.bsp and its images
  int ExitCode;
  std::string Message;  // empty: nothing on standard error; else one line holding this
};

TBytes Grey(std::size_t count) { return TBytes(count, 128); }

// A progressive JPEG whose last scan is repeated `copies` more times.
TBytes WithRepeatedScan(const TBytes& jpeg, int copies) {
  std::size_t last = 0;
  for (std::size_t i = 0; i + 1 < jpeg.size(); ++i)
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA) last = i;
  TBytes out(jpeg.begin(), jpeg.end() - 2);
  for (int c = 0; c < copies; ++c) out.insert(out.end(), jpeg.begin() + static_cast<std::ptrdiff_t>(last), jpeg.end() - 2);
  out.insert(out.end(), {0xFF, 0xD9});
  return out;
}

// The small level with one change.
std::function<void(const std::string&)> Level(const std::function<void(TBspWriter&)>& change) {
  return [change](const std::string& base) {
    TBspWriter w = TBspWriter::SmallLevel("tex/img");
    w.Entities = "{\"classname\" \"worldspawn\"}";
    change(w);
    w.WriteTo(base + "/maps/hostile.bsp");
  };
}

// The small level cut to `size` bytes (from the end when negative).
std::function<void(const std::string&)> Cut(long size) {
  return [size](const std::string& base) {
    TBytes bytes = TBspWriter::SmallLevel().Bytes();
    bytes.resize(static_cast<std::size_t>(size >= 0 ? size : static_cast<long>(bytes.size()) + size));
    testsupport::WriteFile(base + "/maps/hostile.bsp", bytes);
  };
}

// The small level, its texture's image given as these bytes.
std::function<void(const std::string&)> Image(const std::string& extension, const TBytes& bytes) {
  return [extension, bytes](const std::string& base) {
    TBspWriter::SmallLevel("tex/img").WriteTo(base + "/maps/hostile.bsp");
    testsupport::WriteFile(base + "/tex/img" + extension, bytes);
  };
}

// The small level without lump lightmaps, its face naming lightmap `index`, with these files beside
// it in maps/hostile/ (a name ending in '/' is a folder).
std::function<void(const std::string&)> LightmapFiles(std::int32_t index,
                                                      std::vector<std::pair<std::string, TBytes>> files) {
  return [index, files](const std::string& base) {
    TBspWriter w = TBspWriter::SmallLevel("tex/img");
    w.Lightmaps.clear();
    w.Faces[0].LightmapIndex = index;
    w.WriteTo(base + "/maps/hostile.bsp");
    for (const auto& [name, bytes] : files) {
      fs::create_directories(base + "/maps/hostile");
      if (name.back() == '/') fs::create_directories(base + "/maps/hostile/" + name);
      else testsupport::WriteFile(base + "/maps/hostile/" + name, bytes);
    }
  };
}

std::vector<TCase> Corpus() {
  constexpr std::int32_t kHuge = 0x7fffffff;
  const std::string outside = "lies outside the file";
  std::vector<TCase> cases;
  // Every lump the program reads, claiming more bytes than the file has, or starting before it.
  for (const int lump : {kEntities, kTextures, kPlanes, kNodes, kLeaves, kLeafFaces, kVertices,
                         kMeshVertices, kFaces, kLightmaps, kVisData}) {
    cases.push_back({"lump " + std::to_string(lump) + " length", Info | Shot,
                     Level([lump](TBspWriter& w) { w.SetLumpLength(lump, kHuge); }), 1, outside});
    cases.push_back({"lump " + std::to_string(lump) + " offset", Info,
                     Level([lump](TBspWriter& w) { w.SetLumpOffset(lump, -kHuge); }), 1, outside});
  }
  const std::vector<TCase> lies = {
      {"face vertex count", Info | Shot, Level([](TBspWriter& w) { w.Faces[0].NumVertices = kHuge; }), 1, "Face 0: vertices"},
      {"face first vertex", Info, Level([](TBspWriter& w) { w.Faces[0].FirstVertex = -kHuge; }), 1, "Face 0: vertices"},
      {"face mesh vertex count", Info | Shot, Level([](TBspWriter& w) { w.Faces[0].NumMeshVertices = kHuge; }), 1, "Face 0: mesh vertices"},
      {"face first mesh vertex", Info, Level([](TBspWriter& w) { w.Faces[0].FirstMeshVertex = kHuge; }), 1, "Face 0: mesh vertices"},
      {"mesh vertex offset", Info, Level([](TBspWriter& w) { w.MeshVertices[2] = kHuge; }), 1, "points to vertex"},
      {"leaf face count", Info | Shot, Level([](TBspWriter& w) { w.Leaves[0].NumLeafFaces = kHuge; }), 1, "Leaf 0: leaf faces"},
      {"leaf first leaf face", Info, Level([](TBspWriter& w) { w.Leaves[0].FirstLeafFace = -kHuge; }), 1, "Leaf 0: leaf faces"},
      {"leaf face index", Info, Level([](TBspWriter& w) { w.LeafFaces[0] = kHuge; }), 1, "Leaf face 0: face"},
      {"node child node", Info, Level([](TBspWriter& w) { w.Nodes[0].Front = kHuge; }), 1, "front child node"},
      {"node child leaf", Info, Level([](TBspWriter& w) { w.Nodes[0].Back = -kHuge; }), 1, "back child leaf"},
      {"node plane", Info, Level([](TBspWriter& w) { w.Nodes[0].PlaneIndex = kHuge; }), 1, "Node 0: plane"},
      {"visibility rows", Info | Shot, Level([](TBspWriter& w) { w.VisData = TBSPVisData{kHuge, kHuge, {1, 2}}; }), 1, "do not fit"},
      {"visibility negative", Info, Level([](TBspWriter& w) { w.VisData = TBSPVisData{-1, 1, {}}; }), 1, "do not fit"},
      {"shared vertex runs", Info | Shot, Level([](TBspWriter& w) {
         w.Vertices.assign(2000, TBspWriter::Vertex(0, 0, 0));
         w.Faces.assign(2000, TBspWriter::Face(0, 0, 2000, 0));
       }), 1, "more than 16 times the file's"},
      {"shared leaf face runs", Info, Level([](TBspWriter& w) {
         w.LeafFaces.assign(5000, 0);
         w.Leaves.assign(5000, TBspWriter::Leaf(0, 0, 5000));
         w.Nodes[0] = TBspWriter::Node(0, -1, -2);
       }), 1, "leaf faces would take"},
      {"cut in the header", Info | Shot, Cut(100), 1, "shorter than the header"},
      {"cut in a lump", Info | Shot, Cut(-100), 1, outside},
      // Lies the program goes on with: no group to join, no visible bytes to count.
      {"face indices", Info | Shot, Level([](TBspWriter& w) {
         w.Faces[0].TextureIndex = kHuge;
         w.Faces[0].LightmapIndex = kHuge;
         w.Faces[0].EffectIndex = -kHuge;
       }), 0, ""},
      {"two billion empty clusters", Info | Shot, Level([](TBspWriter& w) { w.VisData = TBSPVisData{kHuge, 0, {}}; }), 0, ""},
      {"entity text of braces", Info | Bench, Level([](TBspWriter& w) { w.Entities.assign(4 << 20, '{'); }), 0, ""},
      {"entity text of spawn points", Info | Bench, Level([](TBspWriter& w) {
         for (int i = 0; i < 50000; ++i)
           w.Entities += "{\"classname\" \"info_player_deathmatch\" \"origin\" \"" + std::to_string(i % 64) + " 1 2\"}";
       }), 0, ""},
      {"65,535 spawn points apart", Info, Level([](TBspWriter& w) {
         for (int i = 0; i < 65535; ++i)
           w.Entities += "{\"classname\" \"info_player_deathmatch\" \"origin\" \"" + std::to_string(i) + " 1 2\"}";
       }), 0, ""},
      {"one image named by many records", Info | Shot | Shaded, [](const std::string& base) {
         TBspWriter w = TBspWriter::SmallLevel("tex/img");
         w.Textures.assign(30000, TBspWriter::Texture("tex/img"));
         w.WriteTo(base + "/maps/hostile.bsp");
         testsupport::WriteFile(base + "/tex/img.jpg", testsupport::MakeJPEG(1024, 1024, 3, Grey(1024 * 1024 * 3)));
       }, 0, ""},
      {"many lightmaps", Shot, Level([](TBspWriter& w) { w.Lightmaps.assign(100, TBspWriter::Lightmap(1, 2, 3)); }), 0, ""},
      {"entity of 65,536 keys", EntitiesJson, Level([](TBspWriter& w) {
         w.Entities = "{\"classname\" \"worldspawn\"";
         for (int i = 0; i < 65536; ++i) w.Entities += " k" + std::to_string(i) + " v";
         w.Entities += "}";
       }), 0, ""},
      {"item of flags past any integer", Full, [](const std::string& base) {
         TBspWriter w = TBspWriter::SmallLevel("tex/img");
         w.Entities = "{\"classname\" \"worldspawn\"}{\"classname\" \"item_armor_body\" \"origin\" \"0 0 8\" "
                      "\"spawnflags\" \"1e30\"}";
         w.WriteTo(base + "/maps/hostile.bsp");
         testsupport::TMd3Writer md3;
         md3.Surfaces = {testsupport::TMd3Writer::Square(16)};
         fs::create_directories(base + "/models/powerups/armor");
         testsupport::WriteFile(base + "/models/powerups/armor/armor_red.md3", md3.Bytes());
       }, 0, ""},
      {"brush model of a NaN box", Goto, Level([](TBspWriter& w) {
         w.Entities += "{\"classname\" \"func_door\" \"model\" \"*1\"}";
         TBytes models(80, 0);
         for (std::size_t at = 40; at < 64; at += 4) testsupport::PutFloat(models, at, std::nanf(""));
         w.SetRawLump(kModels, models);
       }), 1, "--goto 1: entity 1 has no usable place"},
  };
  cases.insert(cases.end(), lies.begin(), lies.end());

  // Surface images: refused from the header and the level goes on without them (exit 0), or, as
  // the loaders always did for these two, the load ends with the error (exit 1).
  const TBytes jpeg = testsupport::MakeJPEG(64, 32, 3, Grey(64 * 32 * 3));
  TBytes noise(256 * 256 * 3);
  for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<std::uint8_t>(i * 37 % 251);
  const TBytes noisy = testsupport::MakeJPEG(256, 256, 3, noise);
  TBytes bigTga = testsupport::TGAHeader(65535, 65535, {});
  bigTga.resize(2048, 7);
  TBytes rleTga = testsupport::TGAHeader(8192, 8192, {.ImageType = 10, .Depth = 32});
  rleTga.insert(rleTga.end(), 100, 0xff);
  // Within the run's budget of decoded pixels (192 MiB at four bytes a pixel), so that the
  // decoders' own checks answer; the 8192 x 8192 claims are the budget's.
  TBytes rleWithin = testsupport::TGAHeader(4096, 8192, {.ImageType = 10, .Depth = 32});
  rleWithin.insert(rleWithin.end(), 100, 0xff);
  const std::string pixelsSpent = "the budget of 192 MiB of decoded pixels is spent; left out: tex/img.";
  const std::vector<TCase> images = {
      {"JPEG claiming 65500 x 65500", Shot | Shaded, Image(".jpg", testsupport::WithJPEGSize(jpeg, 65500, 65500)), 0, "Sides above"},
      {"JPEG claiming 8192 x 8192", Shot, Image(".jpg", testsupport::WithJPEGSize(jpeg, 8192, 8192)), 0, pixelsSpent + "jpg"},
      {"JPEG claiming 4096 x 8192", Shot, Image(".jpg", testsupport::WithJPEGSize(jpeg, 4096, 8192)), 0, "Too little data"},
      {"JPEG of endless scans", Shot,
       Image(".jpg", WithRepeatedScan(testsupport::MakeJPEG(64, 32, 3, Grey(64 * 32 * 3), 90, true), 200)), 0,
       "More than 100 scans"},
      {"JPEG cut short", Shot, Image(".jpg", TBytes(noisy.begin(), noisy.end() - 2000)), 0, ""},
      {"TGA claiming 65535 x 65535", Shot, Image(".tga", bigTga), 0, "Sides above"},
      {"TGA run-length claiming 8192 x 8192", Shot, Image(".tga", rleTga), 0, pixelsSpent + "tga"},
      {"TGA run-length claiming 4096 x 8192", Shot, Image(".tga", rleWithin), 0, "Couldn't read file"},
      {"TGA cut in its header", Shot, Image(".tga", TBytes(10, 2)), 1, "Read beyond end of file"},
  };
  cases.insert(cases.end(), images.begin(), images.end());

  // Lightmap files (--full takes them): a warning naming the file, and its faces without lightmap.
  const TBytes png = testsupport::MakePNG(16, 8, 3, Grey(16 * 8 * 3));
  TBytes wide = testsupport::TGAHeader(30000, 1, {});
  wide.resize(wide.size() + 90000, 9);
  const std::vector<TCase> lightmaps = {
      {"lightmap files of mixed sizes", Full | FullInfo,
       LightmapFiles(2, {{"lm_0000.tga", testsupport::MakeTGA(1, 1, Grey(3))}, {"lm_0001.png", png},
                         {"lm_0002.jpg", testsupport::MakeJPEG(64, 32, 3, Grey(64 * 32 * 3))}}), 0, ""},
      {"lightmap file 30000 wide", Full | FullInfo, LightmapFiles(0, {{"lm_0000.tga", wide}}), 0, "sides above 8192 pixels"},
      {"lightmap file cut short", Full | FullInfo, LightmapFiles(0, {{"lm_0000.png", TBytes(png.begin(), png.end() - 30)}}), 0,
       "lm_0000.png: damaged or truncated"},
      {"lightmap file that is a folder", Full | FullInfo, LightmapFiles(0, {{"lm_0000.tga/", {}}}), 0,
       "lm_0000.tga (.png, .jpg): no such file"},
      {"lightmap index of two billion", Full | FullInfo, LightmapFiles(kHuge, {{"lm_0000.tga", testsupport::MakeTGA(1, 1, Grey(3))}}),
       0, "the faces of lightmaps 1 to 2147483647 are drawn without lightmap"},
      {"vertex colours of a large curved surface", Full, Level([](TBspWriter& w) {
         w.Vertices.assign(33 * 33, TBspWriter::Vertex(1, 2, 3));
         w.Faces[0] = TBspWriter::Face(0, 0, 33 * 33, -3, 2);
         w.Faces[0].PatchSize[0] = w.Faces[0].PatchSize[1] = 33;
       }), 0, ""},
  };
  cases.insert(cases.end(), lightmaps.begin(), lightmaps.end());
  return cases;
}

// Every file under `dir` but those in lgmp/, with its bytes.
std::map<std::string, TBytes> FilesOutsideLgmp(const std::string& dir) {
  std::map<std::string, TBytes> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    const std::string relative = fs::relative(entry.path(), dir).string();
    if (relative.rfind("lgmp", 0) == 0 || !entry.is_regular_file()) continue;
    files[relative] = testsupport::ReadFile(entry.path().string());
  }
  return files;
}

TEST(HostileInput, EachInputCostsLittleAndGetsOneClearMessage) {
  double mostCpu = 0, mostMB = 0;
  for (const TCase& c : Corpus()) {
    for (const TMode mode : {Info, Shot, Bench, Shaded, Export, Full, FullInfo, FullExport, Fast, EntitiesJson, Goto}) {
      if (!(c.Modes & (mode == Export || mode == Fast ? Shot : mode == FullExport ? Full : mode))) continue;
      SCOPED_TRACE(c.Name + ", " + ArgsFor(mode).front());
      testsupport::TTempDir base;
      fs::create_directories(base / "maps");
      fs::create_directories(base / "tex");
      fs::create_directories(base / "lgmp");
      fs::copy_file(BSPWALK_SOURCE_DIR "/font.tga", base / "font.tga");
      c.Make(base.Path());
      const auto before = FilesOutsideLgmp(base.Path());

      // The wall clock only guards against a hang: on a busy machine it runs far ahead of the
      // processor time, which is the bound.
      const testsupport::TRun run = testsupport::RunProgram(BSPWALK_PROGRAM, ArgsFor(mode), base.Path(),
                                                            std::chrono::seconds(600));
      EXPECT_EQ(run.ExitCode, c.ExitCode) << run.Err;
      const std::vector<std::string> lines = testsupport::Lines(run.Err);
      if (c.Message.empty()) {
        EXPECT_TRUE(lines.empty()) << run.Err;
      } else {
        EXPECT_EQ(lines.size(), 1u) << run.Err;
        EXPECT_NE(run.Err.find(c.Message), std::string::npos) << run.Err;
      }
      EXPECT_LE(run.CpuSeconds, kMostCpuSeconds);
      EXPECT_LE(run.PeakResidentMB, kMostResidentMB);
      mostCpu = std::max(mostCpu, run.CpuSeconds);
      mostMB = std::max(mostMB, run.PeakResidentMB);
      EXPECT_TRUE(FilesOutsideLgmp(base.Path()) == before) << "a file outside lgmp/ was written";
      if ((mode == Shot || mode == Shaded || mode == Full) && c.ExitCode == 0) {
        EXPECT_TRUE(fs::exists(base / "lgmp/shot.png"));
      }
    }
  }
  std::printf("most processor time %.2f s, most resident memory %.0f MB\n", mostCpu, mostMB);
}

// A slip of the keyboard: the level given where the picture's name belongs is refused as a usage
// error, and no file that is not a PNG is ever replaced by one.
TEST(HostileInput, APictureNeverReplacesAFileThatIsNotAPNG) {
  testsupport::TTempDir base;
  fs::create_directories(base / "lgmp");
  TBspWriter::SmallLevel().WriteTo(base / "maps/oa_dm1.bsp");
  const TBytes level = testsupport::ReadFile(base / "maps/oa_dm1.bsp");
  testsupport::WriteFile(base / "notes.png", {'n', 'o', 't', 'e', 's'});
  fs::create_directory(base / "folder.png");
  const std::pair<std::vector<std::string>, std::pair<int, std::string>> cases[] = {
      {{"--screenshot", "maps/oa_dm1.bsp"}, {2, "'maps/oa_dm1.bsp' does not end in .png"}},
      {{"--screenshot", "notes.png", "maps/oa_dm1.bsp"}, {1, "notes.png exists and is not a PNG"}},
      {{"--screenshot", "folder.png", "maps/oa_dm1.bsp"}, {1, "folder.png exists and is not a PNG"}},
  };
  for (const auto& [args, expected] : cases) {
    SCOPED_TRACE(args[1]);
    const testsupport::TRun run = testsupport::RunProgram(BSPWALK_PROGRAM, args, base.Path());
    EXPECT_EQ(run.ExitCode, expected.first);
    ASSERT_EQ(testsupport::Lines(run.Err).size(), 1u) << run.Err;
    EXPECT_NE(run.Err.find(expected.second), std::string::npos) << run.Err;
  }
  EXPECT_EQ(testsupport::ReadFile(base / "maps/oa_dm1.bsp"), level);
  EXPECT_EQ(testsupport::ReadFile(base / "notes.png"), (TBytes{'n', 'o', 't', 'e', 's'}));
  // A PNG is replaced.
  const std::vector<std::string> shot = {"--screenshot", "shot.png", "--size", "32x16", "maps/oa_dm1.bsp"};
  ASSERT_EQ(testsupport::RunProgram(BSPWALK_PROGRAM, shot, base.Path()).ExitCode, 0);
  const TBytes first = testsupport::ReadFile(base / "shot.png");
  ASSERT_EQ(testsupport::RunProgram(BSPWALK_PROGRAM, {"--screenshot", "shot.png", "--size", "16x16",
                                                      "maps/oa_dm1.bsp"}, base.Path()).ExitCode, 0);
  EXPECT_NE(testsupport::ReadFile(base / "shot.png"), first);
}

}  // namespace
