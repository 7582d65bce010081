// Texture loading speed on real OpenArena textures: the bare decode (the floor) beside decode plus
// upload (CreateTexture with gluBuild2DMipmaps) of the same files, in the same run, on Mesa's
// software renderer. The ratio of the two says what the mipmap build and upload cost.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "gl/Textures.h"
#include "support/TestSupport.h"
#include "textures/ImageDecode.h"
#include "window/OffscreenContext.h"

namespace {

struct TSample {
  std::string Name;
  bool Jpeg;
  std::vector<std::uint8_t> Bytes;
};

const std::vector<std::string> kJPG = {
    "textures/base_wall/atech2_c.jpg",   "textures/base_wall/basewall01.jpg",
    "textures/base_wall/basewall04.jpg", "textures/base_wall/bluemetal3.jpg",
    "textures/base_wall/bluemetalsupport2e.jpg", "textures/gothic_floor/largerblock3b3dim.jpg",
};
const std::vector<std::string> kTGA = {
    "textures/base_wall/comp3b.tga",         "textures/base_wall/shiny3.tga",
    "textures/base_wall/bms2ftv_glow.tga",   "textures/base_wall/concrete_ow.tga",
};

// The files, read once into memory so that neither benchmark measures the disk.
const std::vector<TSample>& Samples() {
  static const std::vector<TSample> samples = [] {
    std::vector<std::string> patterns = kJPG;
    patterns.insert(patterns.end(), kTGA.begin(), kTGA.end());
    const std::string root = testsupport::ExtractOpenArena("pak4-textures.pk3", patterns);
    std::vector<TSample> all;
    for (const std::string& name : patterns)
      all.push_back({name, name.ends_with(".jpg"), testsupport::ReadFile(root + "/" + name)});
    return all;
  }();
  return samples;
}

textures::TImage Decode(const TSample& sample) {
  return sample.Jpeg ? textures::DecodeJPEG(sample.Bytes).Image : textures::DecodeTGA(sample.Bytes).Image;
}

std::size_t PixelCount() {
  std::size_t pixels = 0;
  for (const TSample& sample : Samples()) {
    const textures::TImage image = Decode(sample);
    pixels += std::size_t{image.Width} * image.Height;
  }
  return pixels;
}

// 0: all files, 1: the JPEG files, 2: the TGA files.
bool Selected(const TSample& sample, std::int64_t set) {
  return set == 0 || (set == 1) == sample.Jpeg;
}

void BM_Decode(benchmark::State& state) {
  const std::size_t pixels = PixelCount();
  for (auto _ : state) {
    for (const TSample& sample : Samples()) {
      if (!Selected(sample, state.range(0))) continue;
      textures::TImage image = Decode(sample);
      benchmark::DoNotOptimize(image.Pixels.data());
    }
  }
  if (state.range(0) == 0) state.counters["Mpixel/s"] = benchmark::Counter(
      static_cast<double>(pixels) * static_cast<double>(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}

void BM_DecodeAndUpload(benchmark::State& state) {
  platform::TOffscreenGLContext context(16, 16);
  const std::size_t pixels = PixelCount();
  std::vector<GLuint> names;
  for (auto _ : state) {
    for (const TSample& sample : Samples()) {
      if (!Selected(sample, state.range(0))) continue;
      const textures::TImage image = Decode(sample);
      names.push_back(CreateTexture(image.Width, image.Height, image.Format, image.Pixels.data()));
    }
    glFinish();
    state.PauseTiming();
    glDeleteTextures(static_cast<GLsizei>(names.size()), names.data());
    names.clear();
    state.ResumeTiming();
  }
  if (state.range(0) == 0) state.counters["Mpixel/s"] = benchmark::Counter(
      static_cast<double>(pixels) * static_cast<double>(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}

BENCHMARK(BM_Decode)->ArgName("set")->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeAndUpload)->ArgName("set")->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
