// Loading a level with --external-lightmaps beside the same level with its lightmaps in the lump,
// and the files decoded alone, alternating in the same run (offscreen, with the surface images):
//  - Files/oa_dm4/tga, Files/oa_dm4/png: oa_dm4's 32 lightmaps moved to 128 x 128 files;
//  - Files/sixteen_1024/tga, .../png: oa_dm4 with its faces on 16 lightmaps, as 16 files of
//    1024 x 1024 (its lump: the same 16 at 128 x 128).
// Goal: the load from files within 1.10 x the lump's load plus the decoding alone ("ratio"). The
// brightening and mipmapped upload of the decoded files are timed alone too ("upload_alone_ms"):
// for 1024 x 1024 files they cost 64 times the lump's 128 x 128 lightmaps, which the goal's sum
// does not hold; "ratio_with_upload" holds them.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "level/LightmapFiles.h"
#include "level/Q3BSP.h"
#include "level/Q3BSP_lightmaps.h"
#include "platform/Files.h"
#include "render/Q3BSP_lighting.h"
#include "support/BenchFrame.h"
#include "support/LightmapFileWriter.h"
#include "support/TestSupport.h"
#include "textures/TopFirstPicture.h"

namespace fs = std::filesystem;

namespace {

using bench::Median, bench::Milliseconds;
using testsupport::TBytes;
using TClock = std::chrono::steady_clock;

// oa_dm4 with its faces on lightmaps 0..15 and its lump cut to those 16.
TBytes OnSixteenLightmaps(TBytes level) {
  TBSPLump faces{}, lightmaps{};
  std::memcpy(&faces, &level[sizeof(TBSPHeader) + kFaces * sizeof(TBSPLump)], sizeof faces);
  std::memcpy(&lightmaps, &level[sizeof(TBSPHeader) + kLightmaps * sizeof(TBSPLump)], sizeof lightmaps);
  for (std::size_t f = 0; f < static_cast<std::size_t>(faces.Length) / sizeof(TBSPFace); ++f) {
    TBSPFace face;
    std::uint8_t* record = &level[static_cast<std::size_t>(faces.Offset) + f * sizeof(TBSPFace)];
    std::memcpy(&face, record, sizeof face);
    if (face.LightmapIndex >= 0) face.LightmapIndex %= 16;
    std::memcpy(record, &face, sizeof face);
  }
  lightmaps.Length = 16 * static_cast<std::int32_t>(sizeof(TBSPLightmap));
  std::memcpy(&level[sizeof(TBSPHeader) + kLightmaps * sizeof(TBSPLump)], &lightmaps, sizeof lightmaps);
  return level;
}

// The lump's 16 lightmaps written as 1024 x 1024 files (each texel eight times over).
void WriteLargeFiles(const TBytes& level, const std::string& folder, const std::string& extension) {
  TBSPLump lump{};
  std::memcpy(&lump, &level[sizeof(TBSPHeader) + kLightmaps * sizeof(TBSPLump)], sizeof lump);
  fs::create_directories(folder);
  TBytes rgb(1024 * 1024 * 3);
  for (std::int32_t m = 0; m < 16; ++m) {
    const std::uint8_t* small = &level[static_cast<std::size_t>(lump.Offset) + static_cast<std::size_t>(m) * sizeof(TBSPLightmap)];
    for (std::size_t y = 0; y < 1024; ++y)
      for (std::size_t x = 0; x < 1024; ++x) std::memcpy(&rgb[(y * 1024 + x) * 3], &small[((y / 8) * 128 + x / 8) * 3], 3);
    testsupport::WriteFile(folder + "/" + LightmapFileStem(m) + extension,
                           testsupport::LightmapPicture(1024, 1024, rgb, extension));
  }
}

struct TVariant {
  std::string LumpLevel, FilesLevel;
  std::vector<std::string> Files;
};

// In the working folder (bench::TLevelFolder): maps/<name>_lump.bsp, maps/<name>.bsp, maps/<name>/.
TVariant MakeVariant(const std::string& name, const std::string& extension, bool large) {
  const TBytes original = testsupport::ReadFile(bench::MapPath("oa_dm4"));
  const TBytes level = large ? OnSixteenLightmaps(original) : original;
  TVariant variant{"maps/" + name + "_lump.bsp", "maps/" + name + ".bsp", {}};
  fs::create_directories("maps");
  testsupport::WriteFile(variant.LumpLevel, level);
  const TBytes emptied = testsupport::MoveLightmapsToFiles(level, "maps/" + name, extension);
  if (large) WriteLargeFiles(level, "maps/" + name, extension);
  testsupport::WriteFile(variant.FilesLevel, emptied);
  for (std::int32_t m = 0; m < (large ? 16 : 32); ++m) variant.Files.push_back("maps/" + name + "/" + LightmapFileStem(m) + extension);
  return variant;
}

double TimedLoad(const std::string& path, bool files) {
  TLevelOptions options;
  options.ExternalLightmaps = files;
  TQuake3BSP level;
  const TClock::time_point start = TClock::now();
  if (!level.LoadBSP(path, options) || (files && level.LightmapCount == 0)) std::abort();
  const double ms = Milliseconds(TClock::now() - start);
  glDeleteTextures(static_cast<GLsizei>(level.SurfaceTextures.size()), level.SurfaceTextures.data());
  glDeleteTextures(static_cast<GLsizei>(level.LightmapTextures.size()), level.LightmapTextures.data());
  return ms;
}

void BM_Files(benchmark::State& state, const std::string& extension, bool large) {
  bench::Context();
  bench::TLevelFolder folder;
  const std::string name = std::string(large ? "sixteen_1024" : "oa_dm4") + "_" + extension.substr(1);
  const TVariant variant = MakeVariant(name, extension, large);
  std::vector<double> lumpMs, filesMs, decodeMs, uploadMs;
  bool lumpFirst = true;
  for (auto _ : state) {
    if (lumpFirst) lumpMs.push_back(TimedLoad(variant.LumpLevel, false));
    filesMs.push_back(TimedLoad(variant.FilesLevel, true));
    if (!lumpFirst) lumpMs.push_back(TimedLoad(variant.LumpLevel, false));
    lumpFirst = !lumpFirst;
    // Each file read and decoded alone, then brightened and uploaded alone, one after the other as
    // the load takes them.
    double decode = 0, upload = 0;
    for (const std::string& file : variant.Files) {
      TClock::time_point start = TClock::now();
      textures::TTopFirstPicture picture = textures::DecodeTopFirstRGB(*platform::ReadWholeFile(file), file, 8192);
      decode += Milliseconds(TClock::now() - start);
      start = TClock::now();
      GLuint name = 0;
      glGenTextures(1, &name);
      glBindTexture(GL_TEXTURE_2D, name);
      BrightenLightmap(picture.Rgb);
      UploadLightmapMipmaps(picture.Width, picture.Height, picture.Rgb);
      upload += Milliseconds(TClock::now() - start);
      glDeleteTextures(1, &name);
    }
    decodeMs.push_back(decode);
    uploadMs.push_back(upload);
  }
  const double lump = Median(lumpMs), files = Median(filesMs), decode = Median(decodeMs), upload = Median(uploadMs);
  state.counters["lump_load_ms"] = lump;
  state.counters["files_load_ms"] = files;
  state.counters["decode_alone_ms"] = decode;
  state.counters["upload_alone_ms"] = upload;
  state.counters["ratio"] = files / (lump + decode);
  state.counters["ratio_with_upload"] = files / (lump + decode + upload);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  for (const bool large : {false, true})
    for (const std::string extension : {".tga", ".png"})
      benchmark::RegisterBenchmark(("Files/" + std::string(large ? "sixteen_1024" : "oa_dm4") + "/" + extension.substr(1)).c_str(),
                                   BM_Files, extension, large)
          ->Iterations(8)
          ->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
