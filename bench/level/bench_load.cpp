// Loading real levels with their images, stage by stage, beside the floor of the same work done
// bare in the same run: reading the file; reading, decoding and mipmapping the same images; and
// encoding and mipmapping the same lightmaps. After the runs a table gives each stage's ratio.
//   bench_load [--benchmark_min_time=...]     (GL context creation is not included anywhere)
//   bench_load --cold [RUNS]                  the medium level loaded once per fresh process,
//                                             beside the floor once per fresh process (default 9
//                                             of each, alternating); medians and their ratio, by
//                                             the wall clock and by the processor time
#include <GL/gl.h>
#include <GL/glu.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <ctime>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "gl/OpenGL.h"
#include "level/BSPFile.h"
#include "level/Q3BSP.h"
#include "platform/Files.h"
#include "support/TestSupport.h"
#include "textures/ImageDecode.h"
#include "window/OffscreenContext.h"

#include <jpeglib.h>

namespace {

namespace fs = std::filesystem;
using TClock = std::chrono::steady_clock;

double MsSince(TClock::time_point start) {
  return std::chrono::duration<double, std::milli>(TClock::now() - start).count();
}

// Processor time of the whole process (every thread, user and system), in milliseconds: on a
// busy machine it shows the work itself where the wall clock also shows the waiting.
double ProcessCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Three sizes: ~500 faces and 10 lightmaps, ~1,000 and 32, ~5,300 and 78.
const char* const kMaps[] = {"maps/ps37ctf.bsp", "maps/oa_dm4.bsp", "maps/ctf_inyard.bsp"};
// The medium one, for the runs in fresh processes.
const char* const kColdMap = "maps/oa_dm4.bsp";

struct TStages {
  double Reading = 0, Images = 0, Lightmaps = 0;
  double Total() const { return Reading + Images + Lightmaps; }
};
std::map<std::string, TStages> LoadResults, FloorResults;

// The working directory of a run: the level's images reachable as "textures/...", and "lgmp".
class TEnvironment {
 public:
  TEnvironment() : Context(8, 8), WorkingDir(Dir.Path()) {
    LoadOpenGL("opengl32.dll");
    std::vector<std::string> mapPatterns(std::begin(kMaps), std::end(kMaps));
    MapsRoot = testsupport::ExtractOpenArena("pak1-maps.pk3", mapPatterns);
    std::vector<std::string> imagePatterns;
    for (const char* map : kMaps) {
      const std::vector<std::uint8_t> bytes = *platform::ReadWholeFile(MapsRoot + "/" + map);
      for (const TBSPTexture& texture : ParseBSP(bytes).Textures)
        imagePatterns.push_back(TextureBaseName(texture) + ".*");
    }
    const std::string imagesRoot = testsupport::ExtractOpenArena("pak4-textures.pk3", imagePatterns);
    fs::create_directory_symlink(imagesRoot + "/textures", "textures");
    fs::create_directory("lgmp");
  }
  ~TEnvironment() { UnloadOpenGL(); }
  std::string MapPath(const char* map) const { return MapsRoot + "/" + map; }

 private:
  platform::TOffscreenGLContext Context;
  testsupport::TTempDir Dir;
  testsupport::TScopedWorkingDir WorkingDir;
  std::string MapsRoot;
};

TEnvironment& Environment() {
  static TEnvironment environment;
  return environment;
}

void DeleteTextures(std::vector<GLuint>& names) {
  glDeleteTextures(static_cast<GLsizei>(names.size()), names.data());
  names.clear();
}

// --- The floor: each stage's library work and nothing else ---

struct TImageFile {
  std::string Path;
  bool Jpeg;
};

void DecodeAndMipmap(const TImageFile& image, std::vector<GLuint>& textures) {
  const std::optional<std::vector<std::uint8_t>> bytes = platform::ReadWholeFile(image.Path);
  if (!bytes) return;
  textures::TImage decoded;
  if (image.Jpeg) {
    textures::TJPEGDecoded result = textures::DecodeJPEG(*bytes);
    if (!result.Ok()) return;
    decoded = std::move(result.Image);
  } else {
    textures::TDecoded<textures::TTGAError> result = textures::DecodeTGA(*bytes);
    if (!result.Ok()) return;
    decoded = std::move(result.Image);
  }
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  if (decoded.Format == GL_RGBA)
    gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA, decoded.Width, decoded.Height, GL_RGBA,
                      GL_UNSIGNED_BYTE, decoded.Pixels.data());
  else
    gluBuild2DMipmaps(GL_TEXTURE_2D, 3, decoded.Width, decoded.Height, GL_RGB, GL_UNSIGNED_BYTE,
                      decoded.Pixels.data());
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  textures.push_back(name);
}

void EncodeJpegFile(const std::string& path, const std::vector<std::uint8_t>& rgb) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return;
  jpeg_compress_struct encoder;
  jpeg_error_mgr errors;
  encoder.err = jpeg_std_error(&errors);
  jpeg_create_compress(&encoder);
  jpeg_stdio_dest(&encoder, file);
  encoder.image_width = 128;
  encoder.image_height = 128;
  encoder.input_components = 3;
  encoder.in_color_space = JCS_RGB;
  jpeg_set_defaults(&encoder);
  jpeg_set_quality(&encoder, 100, TRUE);
  jpeg_start_compress(&encoder, TRUE);
  while (encoder.next_scanline < 128) {
    JSAMPROW row = const_cast<JSAMPROW>(rgb.data() + encoder.next_scanline * 384);
    jpeg_write_scanlines(&encoder, &row, 1);
  }
  jpeg_finish_compress(&encoder);
  jpeg_destroy_compress(&encoder);
  std::fclose(file);
}

// What the floor works on, prepared outside the timing: which image files the level names, and
// each lightmap both as brightened texture rows and as the transposed picture the export encodes.
struct TFloorInput {
  std::vector<TImageFile> Images;
  std::vector<std::vector<std::uint8_t>> Rows, Pictures;
};

TFloorInput PrepareFloor(const std::string& path) {
  TFloorInput input;
  const std::vector<std::uint8_t> fileBytes = *platform::ReadWholeFile(path);
  const TBSPFile file = ParseBSP(fileBytes);
  for (const TBSPTexture& texture : file.Textures) {
    const std::string name = TextureBaseName(texture);
    if (platform::FileExists(name + ".jpg"))
      input.Images.push_back({platform::ResolvePath(name + ".jpg"), true});
    if (platform::FileExists(name + ".tga"))
      input.Images.push_back({platform::ResolvePath(name + ".tga"), false});
  }
  for (const TBSPLightmap& lightmap : file.Lightmaps) {
    std::vector<std::uint8_t> bright(49152), picture(49152);
    for (int r = 0; r < 128; ++r)
      for (int c = 0; c < 128; ++c)
        for (int k = 0; k < 3; ++k) {
          const int v = lightmap.ImageBits[r][c][k];
          bright[r * 384 + c * 3 + k] = picture[c * 384 + r * 3 + k] =
              static_cast<std::uint8_t>(2 * v + 80 > 255 ? 255 : 2 * v + 80);
        }
    input.Rows.push_back(std::move(bright));
    input.Pictures.push_back(std::move(picture));
  }
  return input;
}

TStages RunFloor(const std::string& path, const TFloorInput& input, std::vector<GLuint>& textures) {
  TStages stages;
  TClock::time_point start = TClock::now();
  benchmark::DoNotOptimize(platform::ReadWholeFile(path));
  stages.Reading = MsSince(start);

  start = TClock::now();
  for (const TImageFile& image : input.Images) DecodeAndMipmap(image, textures);
  stages.Images = MsSince(start);

  start = TClock::now();
  for (std::size_t m = 0; m < input.Rows.size(); ++m) {
    EncodeJpegFile("lgmp/lgmp" + std::to_string(m) + ".jpg", input.Pictures[m]);
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    gluBuild2DMipmaps(GL_TEXTURE_2D, 3, 128, 128, GL_RGB, GL_UNSIGNED_BYTE, input.Rows[m].data());
    textures.push_back(name);
  }
  stages.Lightmaps = MsSince(start);
  return stages;
}

// Each iteration loads the level and then does the floor's work, so that whatever else the
// machine runs weighs on both alike; the benchmark's own time is the two together.
void BM_LoadBesideFloor(benchmark::State& state, const char* map) {
  const std::string path = Environment().MapPath(map);
  const TFloorInput input = PrepareFloor(path);
  TStages load, floor;
  std::vector<GLuint> textures;
  for (auto _ : state) {
    {
      TQuake3BSP level;
      level.LoadBSP(path);
      load.Reading += level.LoadTimings.ReadingMs;
      load.Images += level.LoadTimings.SurfaceImagesMs;
      load.Lightmaps += level.LoadTimings.LightmapsMs;
      state.PauseTiming();
      DeleteTextures(level.SurfaceTextures);
      DeleteTextures(level.LightmapTextures);
      glFinish();
      state.ResumeTiming();
    }
    const TStages bare = RunFloor(path, input, textures);
    floor.Reading += bare.Reading;
    floor.Images += bare.Images;
    floor.Lightmaps += bare.Lightmaps;
    state.PauseTiming();
    DeleteTextures(textures);
    glFinish();
    state.ResumeTiming();
  }
  const double n = static_cast<double>(state.iterations());
  LoadResults[map] = {load.Reading / n, load.Images / n, load.Lightmaps / n};
  FloorResults[map] = {floor.Reading / n, floor.Images / n, floor.Lightmaps / n};
  state.counters["load_ms"] = LoadResults[map].Total();
  state.counters["floor_ms"] = FloorResults[map].Total();
  state.counters["ratio"] = LoadResults[map].Total() / FloorResults[map].Total();
  state.counters["images"] = static_cast<double>(input.Images.size());
  state.counters["lightmaps"] = static_cast<double>(input.Rows.size());
}

void PrintRatios() {
  std::printf("\n%-22s %28s %28s %28s %24s\n", "level", "reading+parsing ms (ratio)",
              "surface images ms (ratio)", "lightmaps ms (ratio)", "whole load ms (ratio)");
  for (const char* map : kMaps) {
    if (!LoadResults.count(map) || !FloorResults.count(map)) continue;
    const TStages& load = LoadResults[map];
    const TStages& floor = FloorResults[map];
    auto cell = [](double value, double base) {
      char text[64];
      std::snprintf(text, sizeof text, "%7.2f / %7.2f (%.2fx)", value, base, value / base);
      return std::string(text);
    };
    std::printf("%-22s %28s %28s %28s %24s\n", map, cell(load.Reading, floor.Reading).c_str(),
                cell(load.Images, floor.Images).c_str(), cell(load.Lightmaps, floor.Lightmaps).c_str(),
                cell(load.Total(), floor.Total()).c_str());
  }
  std::printf("(load / floor; goal: whole load within 1.15x of the floor)\n");
}

// One load or one floor in this fresh process (context, extraction and the floor's input made
// before the clock starts); prints the milliseconds.
int RunColdOnce(const std::string& what, const char* map) {
  const std::string path = Environment().MapPath(map);
  std::vector<GLuint> textures;
  double ms = 0;
  TStages stages;
  const TFloorInput input = what == "load" ? TFloorInput{} : PrepareFloor(path);
  const double cpuStart = ProcessCpuMs();
  if (what == "load") {
    TQuake3BSP level;
    const TClock::time_point start = TClock::now();
    level.LoadBSP(path);
    ms = MsSince(start);
    stages = {level.LoadTimings.ReadingMs, level.LoadTimings.SurfaceImagesMs, level.LoadTimings.LightmapsMs};
  } else {
    stages = RunFloor(path, input, textures);
    ms = stages.Total();
  }
  const double cpu = ProcessCpuMs() - cpuStart;
  std::printf("%.3f %.3f %.3f %.3f %.3f\n", ms, stages.Reading, stages.Images, stages.Lightmaps, cpu);
  return 0;
}

// Runs this program again with "--cold-once WHAT" and returns the milliseconds it printed: the
// whole, then reading, images and lightmaps, then the processor time of the whole.
std::array<double, 5> ColdRun(const char* self, const std::string& what) {
  const std::string command = std::string("'") + self + "' --cold-once " + what;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::array<double, 5> ms{-1, -1, -1, -1, -1};
  if (pipe && std::fscanf(pipe.get(), "%lf %lf %lf %lf %lf", &ms[0], &ms[1], &ms[2], &ms[3], &ms[4]) != 5)
    ms = {-1, -1, -1, -1, -1};
  return ms;
}

int RunCold(const char* self, int runs) {
  std::array<std::vector<double>, 5> load, floor;
  for (int r = 0; r < runs; ++r) {
    const std::array<double, 5> l = ColdRun(self, "load"), f = ColdRun(self, "floor");
    for (std::size_t k = 0; k < 5; ++k) {
      load[k].push_back(l[k]);
      floor[k].push_back(f[k]);
    }
  }
  const auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
  };
  const char* names[] = {"whole load", "reading", "surface images", "lightmaps", "processor time"};
  std::printf("%s, %d fresh processes each (median ms, load / floor):\n", kColdMap, runs);
  for (std::size_t k = 0; k < 5; ++k)
    std::printf("  %-15s %8.1f / %8.1f  (%.3fx)\n", names[k], median(load[k]), median(floor[k]),
                median(load[k]) / median(floor[k]));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::string(argv[1]) == "--cold-once") return RunColdOnce(argv[2], kColdMap);
  if (argc >= 2 && std::string(argv[1]) == "--cold")
    return RunCold(argv[0], argc >= 3 ? std::atoi(argv[2]) : 9);
  for (const char* map : kMaps) {
    const std::string name = std::string(map).substr(5);
    benchmark::RegisterBenchmark(("LoadBesideFloor/" + name).c_str(), BM_LoadBesideFloor, map)
        ->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Environment();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintRatios();
  return 0;
}
