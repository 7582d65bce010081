// What a whole run may cost: inputs that keep every limit of a single file and still add up, run
// through the real program. Each is held to the hostile-input bounds and gets its exit status and
// the one warning of the budget it reaches (or no line); every budget's figure is tried at its edge
// (just within: no warning; a byte more: left out, named). Generated at test time.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "HostileBounds.h"
#include "level/Q3BSP_surfaces.h"
#include "support/BspWriter.h"
#include "support/ImageWriters.h"
#include "support/Md3Writer.h"
#include "support/Program.h"
#include "support/TestSupport.h"
#include "support/ZipWriter.h"

namespace fs = std::filesystem;
using hostile::kMostCpuSeconds;
using hostile::kMostResidentMB;
using hostile::kSanitized;
using testsupport::TBspWriter;
using testsupport::TBytes;

namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;

struct TBudgetCase {
  std::string Name;
  std::vector<std::string> Args;
  std::function<void(const fs::path& base)> Make;
  int ExitCode;
  std::size_t Lines;    // lines on standard error
  std::string Message;  // held by the last of them
};

void WriteArchive(const fs::path& path, const std::vector<testsupport::TRawEntry>& entries) {
  testsupport::WriteFile(path.string(), testsupport::RawZip(entries));
}

testsupport::TRawEntry Sharing(const std::string& name, int dataOf) {
  testsupport::TRawEntry entry;
  entry.Name = name;
  entry.DataOf = dataOf;
  return entry;
}

// `count` entries named by `name`, all pointing at one deflated run of `size` zero bytes.
std::vector<testsupport::TRawEntry> SharedZeros(int count, std::size_t size,
                                                const std::function<std::string(int)>& name) {
  std::vector<testsupport::TRawEntry> entries{testsupport::DeflatedEntry(name(0), std::string(size, '\0'))};
  for (int i = 1; i < count; ++i) entries.push_back(Sharing(name(i), 0));
  return entries;
}

std::string Numbered(const char* format, int i) {
  char text[64];
  std::snprintf(text, sizeof text, format, i);
  return text;
}

// The small level with `count` curved surfaces of side x side control points on one run of points
// (all in the camera's leaf), its file padded to `fileSize` bytes, and textures tex/<names>.
TBspWriter Patches(int count, int side, std::size_t fileSize, const std::vector<std::string>& textures = {}) {
  TBspWriter w = TBspWriter::SmallLevel("tex/img");
  w.Entities = "{\"classname\" \"worldspawn\"}";
  for (const std::string& name : textures) w.Textures.push_back(TBspWriter::Texture(name));
  const std::int32_t first = static_cast<std::int32_t>(w.Vertices.size());
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) w.Vertices.push_back(TBspWriter::Vertex(8.0f * x, 8.0f * y, 64.0f + 8 * ((x + y) % 2)));
  TBSPFace face = TBspWriter::Face(0, first, side * side, 0, kPatchFace);
  face.PatchSize[0] = face.PatchSize[1] = side;
  for (int i = 0; i < count; ++i) {
    w.LeafFaces.push_back(static_cast<std::int32_t>(w.Faces.size()));
    w.Faces.push_back(face);
  }
  w.Leaves[0].NumLeafFaces = static_cast<std::int32_t>(w.LeafFaces.size());
  const std::size_t size = w.Bytes().size();
  if (size > fileSize) throw std::logic_error("the level needs " + std::to_string(size) + " bytes");
  w.Trailer.resize(fileSize - size);
  return w;
}

// The level with these textures (the first is tex/img), and nothing curved.
std::function<void(const fs::path&)> LevelWith(const std::vector<std::string>& textures) {
  return [textures](const fs::path& base) { Patches(0, 3, 60000, textures).WriteTo(base / "maps/hostile.bsp"); };
}

// A script of `count` empty shaders with names of their own.
std::string EmptyShaders(std::size_t count, std::size_t bytes = 0) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += "s" + std::to_string(i) + "{}\n";
  if (text.size() < bytes) text.resize(bytes, '\n');
  return text;
}

// A 2 x 2 TGA followed by zeros up to `size` bytes.
std::string PaddedTGA(std::size_t size) {
  const TBytes tga = testsupport::MakeTGA(2, 2, TBytes(12, 200));
  std::string bytes(tga.begin(), tga.end());
  bytes.resize(size, '\0');
  return bytes;
}

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

const std::vector<std::string> kShot = {"--screenshot", "lgmp/shot.png", "--size", "64x48"};
const std::vector<std::string> kFromData = {"--data", "data", "maps/hostile.bsp"};

std::function<void(const fs::path&)> Curved(int count, int side, std::size_t size) {
  return [=](const fs::path& base) { Patches(count, side, size).WriteTo(base / "maps/hostile.bsp"); };
}

std::function<void(const fs::path&)> Scripts(const std::vector<testsupport::TRawEntry>& entries) {
  return [entries](const fs::path& base) {
    LevelWith({})(base);
    WriteArchive(base / "data/scripts.pk3", entries);
  };
}

// `count` textures named by `format`, their images in one archive on one run of `size` bytes (a
// small TGA and zeros), and a last texture whose image is one byte.
std::function<void(const fs::path&)> Images(const char* format, int count, std::size_t size, std::string last) {
  return [=](const fs::path& base) {
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) names.push_back(Numbered(format, i));
    if (!last.empty()) names.push_back(last);
    LevelWith(names)(base);
    std::vector<testsupport::TRawEntry> entries{testsupport::DeflatedEntry(names[0] + ".tga", PaddedTGA(size))};
    for (int i = 1; i < count; ++i) entries.push_back(Sharing(names[static_cast<std::size_t>(i)] + ".tga", 0));
    if (!last.empty()) entries.push_back({last + ".tga", "x"});
    WriteArchive(base / "data/images.pk3", entries);
  };
}

// Four loose images that take what the level and the font leave of the budget, `over` bytes more.
std::function<void(const fs::path&)> LooseImages(std::size_t over) {
  return [=](const fs::path& base) {
    const std::vector<std::string> names = {"tex/d0", "tex/d1", "tex/d2", "tex/d3"};
    LevelWith(names)(base);
    const std::size_t rest = 64 * kMiB - fs::file_size(base / "maps/hostile.bsp") - fs::file_size(base / "font.tga");
    fs::create_directories(base / "data/tex");
    for (const std::string& name : names) {
      const std::string file = (base / "data" / name).string() + ".tga";
      testsupport::WriteFile(file, testsupport::MakeTGA(2, 2, TBytes(12, 200)));
      fs::resize_file(file, name == names.back() ? rest + over : 64 * kMiB);  // sparse
    }
  };
}

// Curved surfaces and shader scripts: the robustness sweep's inputs, and the figures at their edges.
std::vector<TBudgetCase> MemoryCases() {
  // The curved surfaces' memory per byte of the file, at its edge: 40 pieces at --tess 64.
  const std::size_t fitting = (40 * PatchBytes(3, 3, 64) + 191) / 192;
  const std::vector<std::string> fine = With(kShot, {"--surfaces", "all", "--tess", "64", "maps/hostile.bsp"});
  const std::vector<std::string> info = With({"--info", "--full"}, kFromData);
  const std::string shadersSpent = "the budget of 65,536 shaders kept is spent; left out: the rest of scripts/a.shader";
  return {
      {"520 curved surfaces on one run of points", With(kShot, {"--full", "maps/hostile.bsp"}),
       Curved(520, 33, 1800 * 1000), 0, 1, "of curved-surface triangles (at most 192 bytes per byte of the level file) is spent"},
      {"16 of them at --tess 64", With(kShot, {"--full", "--tess", "64", "maps/hostile.bsp"}), Curved(16, 33, 128 * 1000),
       0, 1, "is spent; left out: face 1, face 2, face 3 and 13 more"},
      {"curved surfaces just within 192 bytes per file byte", fine, Curved(40, 3, fitting), 0, 0, ""},
      {"one byte short of it", fine, Curved(40, 3, fitting - 1), 0, 1, "is spent; left out: face 40"},
      {"three 16 MiB scripts of empty shaders", With(kShot, {"--full", "maps/hostile.bsp"}),
       [](const fs::path& base) {
         LevelWith({})(base);
         const std::string text = EmptyShaders(1'500'000, 16 * kMiB);
         for (const char* name : {"a", "b", "c"})
           testsupport::WriteFile((base / "scripts" / name).string() + ".shader", TBytes(text.begin(), text.end()));
       },
       0, 1, shadersSpent + ", scripts/b.shader and scripts/c.shader"},
      {"65,536 shaders", info, Scripts({testsupport::DeflatedEntry("scripts/a.shader", EmptyShaders(65536))}), 0, 0, ""},
      {"65,537 shaders", info, Scripts({testsupport::DeflatedEntry("scripts/a.shader", EmptyShaders(65537))}), 0, 1, shadersSpent},
  };
}

// Archives, loose files and what is given as the level.
std::vector<TBudgetCase> FileCases() {
  const std::vector<std::string> info = With({"--info", "--full"}, kFromData);
  const std::vector<std::string> shot = With(kShot, kFromData);
  const auto script = [](int i) { return Numbered("scripts/s%03d.shader", i); };
  const std::string inflated = "the budget of 256 MiB inflated from archives is spent; left out: ";
  return {
      {"400 scripts on one 64 MiB run of zeros", info, Scripts(SharedZeros(400, 64 * kMiB, script)), 0, 0, ""},
      {"400 scripts on one 16 MiB run of zeros", info, Scripts(SharedZeros(400, 16 * kMiB, script)), 0, 1,
       inflated + "scripts/s016.shader, scripts/s017.shader, scripts/s018.shader and 381 more"},
      {"100 scripts of 64 MiB each", info,
       [script](const fs::path& base) {
         std::vector<testsupport::TRawEntry> entries(100, testsupport::DeflatedEntry("", std::string(64 * kMiB, '\0')));
         for (int i = 0; i < 100; ++i) entries[static_cast<std::size_t>(i)].Name = script(i);
         Scripts(entries)(base);
       },
       0, 0, ""},
      {"128 images of 64 MiB", shot, Images("tex/z%03d", 128, 64 * kMiB, ""), 0, 1,
       inflated + "tex/z004.tga, tex/z005.tga, tex/z006.tga and 121 more"},
      {"four 64 MiB images: the whole budget", shot, Images("tex/e%d", 4, 64 * kMiB, ""), 0, 0, ""},
      {"and one byte more", shot, Images("tex/e%d", 4, 64 * kMiB, "tex/one"), 0, 1, inflated + "tex/one.tga"},
      {"level, font and loose images: the whole budget", shot, LooseImages(0), 0, 0, ""},
      {"and one byte more", shot, LooseImages(1), 0, 1, "the budget of 256 MiB read from disk is spent; left out: "},
      {"a 300 MB level given by its path", {"--info", "maps/hostile.bsp"},
       [](const fs::path& base) {
         TBspWriter::SmallLevel().WriteTo(base / "maps/hostile.bsp");
         fs::resize_file(base / "maps/hostile.bsp", 300'000'000);
       },
       1, 1, "maps/hostile.bsp: 300000000 bytes, more than the 67108864 (64 MiB) a level may hold"},
      {"a FIFO given as the level", {"--info", "maps/hostile.bsp"},
       [](const fs::path& base) { ASSERT_EQ(mkfifo((base / "maps/hostile.bsp").c_str(), 0600), 0); }, 1, 1,
       "maps/hostile.bsp is not a regular file (a FIFO)"},
      {"a device given as the level", {"--screenshot", "lgmp/shot.png", "/dev/null"}, [](const fs::path&) {}, 1, 1,
       "/dev/null is not a regular file (a character device)"},
      {"a link out of the data folder", shot,
       [](const fs::path& base) {
         LevelWith({})(base);
         fs::create_directories(base / "outside/tex");
         testsupport::WriteFile((base / "outside/tex/img.tga").string(), testsupport::MakeTGA(2, 2, TBytes(12, 200)));
         fs::create_directory_symlink(base / "outside/tex", base / "data/tex");
       },
       0, 1, "data/tex: a symbolic link that leads outside "},
  };
}

const std::vector<std::string> kExportFiles = {"--export", "lgmp/level.glb", "--external-lightmaps", "maps/hostile.bsp"};

// A level whose lightmaps are files: one PNG of 4096 x 4096, then `more` files of `bytes`.
std::function<void(const fs::path&)> LargeLightmapAnd(int more, const TBytes& bytes) {
  return [=](const fs::path& base) {
    TBspWriter w = TBspWriter::SmallLevel("tex/img");
    w.Lightmaps.clear();
    w.Faces[0].LightmapIndex = more;
    w.WriteTo(base / "maps/hostile.bsp");
    fs::create_directories(base / "maps/hostile");
    testsupport::WriteFile((base / "maps/hostile/lm_0000.png").string(),
                           testsupport::MakePNG(4096, 4096, 3, TBytes(4096 * 4096 * 3, 9)));
    for (int i = 1; i <= more; ++i) testsupport::WriteFile((base / "maps/hostile" / Numbered("lm_%04d.png", i)).string(), bytes);
  };
}

// A chain of 8,192 nodes splitting along x, each with a leaf of its own cluster behind it, and
// 4,095 brush models of one face (the most read), each box over half the chain: each model is in
// 4,096 clusters.
void ManyBrushModels(const fs::path& base) {
  TBspWriter w = TBspWriter::SmallLevel("tex/img");
  w.Planes.clear();
  w.Nodes.clear();
  w.Leaves.clear();
  w.VisData.reset();
  constexpr int kNodes = 8192;
  for (int i = 0; i < kNodes; ++i) {
    w.Planes.push_back({{1, 0, 0}, 4.0f * i});
    w.Nodes.push_back(TBspWriter::Node(i, i + 1 < kNodes ? i + 1 : ~kNodes, ~i));
    w.Leaves.push_back(TBspWriter::Leaf(i, 0, i == 0 ? 1 : 0));
  }
  w.Leaves.push_back(TBspWriter::Leaf(kNodes, 0, 0));
  TBytes models(40 * 4096, 0);
  for (std::size_t m = 1; m < 4096; ++m) {
    const std::size_t at = 40 * m;
    const float box[6] = {-8, -64, -64, 2.0f * kNodes, 64, 64};
    for (std::size_t k = 0; k < 6; ++k) testsupport::PutFloat(models, at + 4 * k, box[k]);
    models[at + 28] = 1;  // one face: face 0
  }
  w.SetRawLump(kModels, models);
  w.WriteTo(base / "maps/hostile.bsp");
}

// What small files claim to build: pictures of 8192 x 8192 pixels in a few bytes of run-length
// TGA, one large model placed 150 times, scripts of shaders of 32 stages of 8 tcMods each.
std::vector<TBudgetCase> BuiltCases() {
  TBytes claim = testsupport::TGAHeader(8192, 8192, {.ImageType = 10, .Depth = 32});
  claim.insert(claim.end(), {0xff, 1, 2, 3, 4});
  testsupport::TMd3Writer model;
  for (int s = 0; s < 8; ++s) {
    testsupport::TMd3SurfaceSpec surface;
    surface.Name = "s" + std::to_string(s);
    for (int v = 0; v < 4096; ++v) {
      surface.Positions.push_back({static_cast<float>(v % 64), static_cast<float>(v / 64), 0});
      surface.Coords.push_back({0, 0});
    }
    for (int t = 0; t < 8192 * 3; ++t) surface.Indices.push_back(static_cast<std::uint32_t>(t % 4096));
    model.Surfaces.push_back(surface);
  }
  const TBytes md3 = model.Bytes();
  std::string stages;
  for (int k = 0; k < 32; ++k) stages += "{\nmap tex/img.tga\n"
                                         "tcMod scroll 1 1\ntcMod scroll 1 1\ntcMod scroll 1 1\ntcMod scroll 1 1\n"
                                         "tcMod scroll 1 1\ntcMod scroll 1 1\ntcMod scroll 1 1\ntcMod scroll 1 1\n}\n";
  std::string script;
  for (int i = 0; i < 3000; ++i) script += "textures/s" + std::to_string(i) + "\n{\n" + stages + "}\n";
  return {
      {"six run-length TGAs claiming 8192 x 8192", With(kShot, kFromData),
       [claim](const fs::path& base) {
         LevelWith({"tex/p0", "tex/p1", "tex/p2", "tex/p3", "tex/p4", "tex/p5"})(base);
         std::vector<testsupport::TRawEntry> entries{testsupport::DeflatedEntry("tex/p0.tga", std::string(claim.begin(), claim.end()))};
         for (int i = 1; i < 6; ++i) entries.push_back(Sharing("tex/p" + std::to_string(i) + ".tga", 0));
         WriteArchive(base / "data/images.pk3", entries);
       },
       0, 1, "the budget of 192 MiB of decoded pixels is spent; left out: tex/p0.tga, tex/p1.tga, tex/p2.tga and 3 more"},
      {"150 items of one large model", With(With(kShot, {"--full"}), kFromData),
       [md3](const fs::path& base) {
         TBspWriter w = Patches(0, 3, 60000);
         for (int i = 0; i < 150; ++i) w.Entities += "{\"classname\" \"item_armor_body\" \"origin\" \"" + std::to_string(i) + " 0 8\"}";
         w.WriteTo(base / "maps/hostile.bsp");
         WriteArchive(base / "data/models.pk3",
                      {testsupport::DeflatedEntry("models/powerups/armor/armor_red.md3", std::string(md3.begin(), md3.end()))});
       },
       0, 1,
       // Items share the model's arrays and keep their colours: 113 of them fit where 10 copies did.
       "the budget of 16 MiB of item geometry is spent; left out: item_armor_body (entity 114), item_armor_body "
       "(entity 115), item_armor_body (entity 116) and 34 more"},
      {"--export of a 4096 x 4096 lightmap file and 23 empty ones", kExportFiles, LargeLightmapAnd(23, {}), 0, 23,
       "lm_0023.png: not a PNG picture (); the faces of lightmap 23 are exported without lightmap"},
      {"... and 7 of one pixel, each a page of 4096 x 4096", kExportFiles,
       LargeLightmapAnd(7, testsupport::MakePNG(1, 1, 3, TBytes(3, 9))), 0, 1,
       "the budget of 192 MiB of decoded pixels is spent; left out: maps/hostile/lm_0003.png, "},
      {"--export of 60,000 textures of one face each", {"--export", "lgmp/level.glb", "maps/hostile.bsp"},
       [](const fs::path& base) {
         TBspWriter w = TBspWriter::SmallLevel("tex/img");
         for (int i = 1; i < 60000; ++i) {
           w.Textures.push_back(TBspWriter::Texture(Numbered("tex/t%05d", i)));
           w.Faces.push_back(w.Faces[0]);
           w.Faces.back().TextureIndex = i;
           w.LeafFaces.push_back(i);
         }
         w.Leaves[0].NumLeafFaces = static_cast<std::int32_t>(w.LeafFaces.size());
         w.WriteTo(base / "maps/hostile.bsp");
       },
       0, 1,
       "the budget of 16,384 materials of an export is spent; left out: tex/t16384, tex/t16385, tex/t16386 and "
       "43,613 more"},
      {"60,000 portal faces and 60,000 portal entities out of their reach, --full", With(With(kShot, {"--full"}), kFromData),
       [](const fs::path& base) {
         TBspWriter w = TBspWriter::SmallLevel("tex/portal");
         for (int i = 1; i < 60000; ++i) {
           w.Faces.push_back(w.Faces[0]);
           w.LeafFaces.push_back(i);
           w.Entities += "{\"classname\" \"misc_portal_surface\" \"origin\" \"9e5 9e5 9e5\"}";
         }
         w.Leaves[0].NumLeafFaces = static_cast<std::int32_t>(w.LeafFaces.size());
         w.WriteTo(base / "maps/hostile.bsp");
         WriteArchive(base / "data/scripts.pk3", {testsupport::DeflatedEntry("scripts/a.shader", "tex/portal\n{\nportal\n}\n")});
       },
       0, 0, ""},
      {"4,095 brush models over 8,193 clusters, 22 frames",
       With(kShot, {"--brush-models", "--frames", "22", "maps/hostile.bsp"}), ManyBrushModels, 0, 0, ""},
      {"3,000 shaders of 32 stages of 8 tcMods", With({"--info", "--full"}, kFromData),
       Scripts({testsupport::DeflatedEntry("scripts/a.shader", script)}), 0, 1,
       "the budget of 32 MiB of shader stages is spent; left out: the rest of scripts/a.shader"},
  };
}

TEST(HostileInput, WholeRunsStayWithinTheirBudgets) {
  double mostCpu = 0, mostMB = 0;
  std::vector<TBudgetCase> cases = MemoryCases();
  for (TBudgetCase& c : FileCases()) cases.push_back(std::move(c));
  for (TBudgetCase& c : BuiltCases()) cases.push_back(std::move(c));
  for (const TBudgetCase& c : cases) {
    SCOPED_TRACE(c.Name);
    testsupport::TTempDir base;
    for (const char* folder : {"maps", "tex", "lgmp", "data", "scripts"}) fs::create_directories(base / folder);
    fs::copy_file(BSPWALK_SOURCE_DIR "/font.tga", base / "font.tga");
    c.Make(base.Path());
    const testsupport::TRun run = testsupport::RunProgram(BSPWALK_PROGRAM, c.Args, base.Path(), std::chrono::seconds(120));
    EXPECT_EQ(run.ExitCode, c.ExitCode) << run.Err;
    const std::vector<std::string> lines = testsupport::Lines(run.Err);
    EXPECT_EQ(lines.size(), c.Lines) << run.Err;
    if (!c.Message.empty() && !lines.empty()) {
      EXPECT_NE(lines.back().find(c.Message), std::string::npos) << run.Err;
    }
    EXPECT_LE(run.CpuSeconds, kMostCpuSeconds);
    EXPECT_LE(run.PeakResidentMB, kMostResidentMB);
    std::printf("%-50s %.2f s %4.0f MB\n", c.Name.c_str(), run.CpuSeconds, run.PeakResidentMB);
    mostCpu = std::max(mostCpu, run.CpuSeconds);
    mostMB = std::max(mostMB, run.PeakResidentMB);
  }
  std::printf("most processor time %.2f s, most resident memory %.0f MB\n", mostCpu, mostMB);
}

// The most curved real level at the finest tessellation: the shader scripts cost little beside the
// curved surfaces themselves, since no frame copies them.
TEST(HostileInput, FullAtTess64CostsLittleMoreThanTheCurvedSurfacesAlone) {
  const std::string archive = testsupport::OpenArenaArchive("pak6-patch088.pk3");
  if (archive.empty()) GTEST_SKIP() << "OpenArena's data is not installed";
  if (kSanitized) GTEST_SKIP() << "the sanitizers' own memory would be measured";
  testsupport::TTempDir base;
  fs::create_directories(base / "lgmp");
  const std::vector<std::string> common = {"--data", fs::path(archive).parent_path().string(), "--screenshot",
                                           "lgmp/shot.png", "--size", "64x48", "--tess", "64"};
  double peak[2] = {0, 0};
  for (const bool full : {false, true}) {
    std::vector<std::string> args = common;
    for (const char* arg : full ? std::vector<const char*>{"--full"} : std::vector<const char*>{"--surfaces", "all"})
      args.push_back(arg);
    args.push_back("am_thornish");
    const testsupport::TRun run = testsupport::RunProgram(BSPWALK_PROGRAM, args, base.Path());
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(run.Err, "");
    peak[full] = run.PeakResidentMB;
  }
  std::printf("--surfaces all --tess 64: %.0f MB, --full --tess 64: %.0f MB\n", peak[0], peak[1]);
  EXPECT_LE(peak[1], 1.2 * peak[0]);
}

}  // namespace
