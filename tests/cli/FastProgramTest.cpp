// --fast through the program: parsed with --full and --at; screenshots of OpenArena levels equal
// the two passes' within rounding (plain, --shaders, --surfaces all); --at's count of the faces
// drawn after culling is the benchmark's for the same pose; --benchmark --json has the new keys
// only with --fast.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <future>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "app/cli/CommandLine.h"
#include "support/Picture.h"
#include "support/Program.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

std::vector<std::string> WithData(std::vector<std::string> args) {
  args.insert(args.begin(), {"--data", fs::path(testsupport::OpenArenaArchive("pak0.pk3")).parent_path().string()});
  return args;
}

testsupport::TRun Bspwalk(const std::vector<std::string>& args, const std::string& dir = "") {
  return testsupport::RunProgram(BSPWALK_PROGRAM, WithData(args), dir);
}

// The share of pixels whose channels all lie within 2 of the other picture's.
double PixelsWithin2(const testsupport::TPicture& a, const testsupport::TPicture& b) {
  if (a.Rgb.size() != b.Rgb.size() || a.Rgb.empty()) return 0;
  std::size_t same = 0;
  for (std::size_t i = 0; i < a.Rgb.size(); i += 3)
    same += std::abs(a.Rgb[i] - b.Rgb[i]) <= 2 && std::abs(a.Rgb[i + 1] - b.Rgb[i + 1]) <= 2 &&
            std::abs(a.Rgb[i + 2] - b.Rgb[i + 2]) <= 2;
  return static_cast<double>(same) / static_cast<double>(a.Rgb.size() / 3);
}

}  // namespace

TEST(FastOptions, ParsedWithFullAndAt) {
  const std::pair<std::vector<const char*>, std::string> cases[] = {
      {{}, "fast 0, directions 0"},
      {{"--fast"}, "fast 1, directions 0"},
      {{"--full"}, "fast 1, directions 0"},
      {{"--full", "--fast=off"}, "fast 0, directions 0"},
      {{"--fast", "--at", "1,2,3", "--at", "1,2,3,90,270"}, "fast 1, directions 2"},
      {{"--at", "1,2,3,90,270"}, "bspwalk: --at: '1,2,3,90,270' has 5 values, expected 3 separated by commas"},
      {{"--fast", "--at", "1,2,3,4"}, "bspwalk: --at: '1,2,3,4' has 4 values, expected 3 separated by commas"},
  };
  for (const auto& [args, expected] : cases) {
    std::vector<const char*> argv{"bspwalk"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::ostringstream out, err;
    const app::TParseResult r = app::ParseCommandLine(static_cast<int>(argv.size()), argv.data(), out, err);
    EXPECT_EQ(r.Options ? "fast " + std::to_string(r.Options->Fast) + ", directions " +
                              std::to_string(r.Options->AtDirections.size())
                        : err.str(),
              r.Options ? expected : expected + " (see bspwalk --help)\n");
  }
}

// Three levels of different sizes, three spawn points each, plain, with --shaders and with every
// surface (and with --full at one): the one pass against the two passes, pictures taken by two
// runs at a time.
TEST(FastPictures, EqualTheTwoPassesWithinRounding) {
  if (testsupport::OpenArenaArchive("pak0.pk3").empty()) GTEST_SKIP() << "OpenArena's data is not installed";
  testsupport::TTempDir dir;
  struct TShot {
    std::string Name;
    std::vector<std::string> Args;
  };
  std::vector<TShot> pairs;
  for (const char* level : {"oa_dm4", "kaos2", "ctf_inyard"})
    for (const char* spawn : {"1", "2", "3"})
      for (const std::vector<std::string>& fidelity :
           {std::vector<std::string>{}, {"--shaders"}, {"--surfaces", "all"}}) {
        std::vector<std::string> args = {"--no-hud", "--size", "320x240", "--spawn", spawn, level};
        args.insert(args.end(), fidelity.begin(), fidelity.end());
        std::string name = std::string(level) + "-" + spawn + (fidelity.empty() ? "" : fidelity[0]);
        pairs.push_back({name, args});
      }
  // And everything --full does (vertex light among it) at the first spawn point.
  for (const char* level : {"oa_dm4", "kaos2", "ctf_inyard"})
    pairs.push_back({std::string(level) + "-1--full", {"--no-hud", "--size", "320x240", "--spawn", "1", level, "--full"}});
  const auto shoot = [&](const TShot& shot, bool fast) {
    std::vector<std::string> args = shot.Args;
    args.insert(args.begin(), {"--screenshot", shot.Name + (fast ? "-fast.png" : ".png")});
    args.push_back(fast ? "--fast" : "--fast=off");
    return Bspwalk(args, dir.Path());
  };
  for (const TShot& shot : pairs) {
    auto fast = std::async(std::launch::async, shoot, shot, true);
    const testsupport::TRun plain = shoot(shot, false);
    const testsupport::TRun one = fast.get();
    ASSERT_EQ(plain.ExitCode, 0) << plain.Err;
    ASSERT_EQ(one.ExitCode, 0) << one.Err;
    const double within = PixelsWithin2(testsupport::ReadPNG(dir / (shot.Name + ".png")),
                                        testsupport::ReadPNG(dir / (shot.Name + "-fast.png")));
    // The rest is rounding (the blend rounds each product before doubling, the unit after: a
    // channel apart by 1, rarely 2) and, with every surface, curved surfaces lying in the plane of
    // a polygon: at exactly equal depth the two passes multiply in the lightmap of each, the one
    // pass only that of the surface that wrote the depth (ctf_inyard's arches: 1.1 % of a picture).
    const bool curved = shot.Args.back() == "all" || shot.Args.back() == "--full";
    EXPECT_GE(within, curved ? 0.985 : 0.995) << shot.Name;
    std::printf("%-28s %.3f %% within 2\n", shot.Name.c_str(), 100 * within);
  }
}

// The same pose through --at and through a one-frame benchmark: the faces drawn after culling
// agree, and the benchmark's new keys come with --fast only.
TEST(FastRuns, AtAndBenchmarkCountTheSameFacesInView) {
  if (testsupport::OpenArenaArchive("pak0.pk3").empty()) GTEST_SKIP() << "OpenArena's data is not installed";
  testsupport::TTempDir dir;
  const json spawn = json::parse(Bspwalk({"--info", "--json", "oa_dm4"}).Out)["Spawns"][0];
  std::ostringstream position, pose;
  position << spawn["Origin"][0].get<double>() << "," << spawn["Origin"][1].get<double>() << ","
           << spawn["Origin"][2].get<double>() + 26;
  pose << position.str() << "," << 90 - spawn["Angle"].get<double>() << ",270";

  const json at = json::parse(Bspwalk({"--at", pose.str(), "--fast", "--json", "oa_dm4"}).Out);
  const json plainAt = json::parse(Bspwalk({"--at", position.str(), "--json", "oa_dm4"}).Out);
  const json fast = json::parse(Bspwalk({"--benchmark", "--frames", "2", "--json", "--fast", "--camera=" + pose.str(), "oa_dm4"}, dir.Path()).Out);
  const json plain = json::parse(Bspwalk({"--benchmark", "--frames", "2", "--json", "--camera=" + pose.str(), "oa_dm4"}, dir.Path()).Out);

  EXPECT_EQ(at["VisibleFaceCount"], plainAt["VisibleFaceCount"]);
  EXPECT_FALSE(plainAt.contains("DrawnAfterCulling"));
  EXPECT_EQ(at["DrawnAfterCulling"], fast["faces_drawn_per_frame"]["median"]);
  EXPECT_GT(at["DrawnAfterCulling"].get<int>(), 0);
  EXPECT_LT(at["DrawnAfterCulling"].get<int>(), at["VisibleFaceCount"].get<int>()) << "a view sees part of what is admitted";
  EXPECT_EQ(fast["faces_per_frame"], plain["faces_per_frame"]);
  EXPECT_EQ(fast["passes_per_frame"]["max"], 1);
  EXPECT_GT(fast["faces_culled_per_frame"]["min"].get<double>(), 0);
  EXPECT_GT(fast["batches_per_frame"]["min"].get<double>(), 0);
  EXPECT_GE(fast["fragments_per_pixel"]["min"].get<double>(), 1.0) << "every covered pixel shaded at least once";
  EXPECT_LT(fast["fragments_per_pixel"]["max"].get<double>(), 4.0);
  // The split: every pass by name, the one pass that draws the walls taking time.
  ASSERT_TRUE(fast.contains("pass_cpu_ms"));
  std::vector<std::string> passes;
  for (auto& [pass, ms] : fast["pass_cpu_ms"].items()) {
    passes.push_back(pass);
    EXPECT_GE(ms["min"].get<double>(), 0.0) << pass;
  }
  EXPECT_EQ(passes, (std::vector<std::string>{"blended", "fog", "frame", "one_pass", "sky", "stages", "things", "visibility"}));
  EXPECT_GT(fast["pass_cpu_ms"]["one_pass"]["max"].get<double>(), 0.0);
  json keys = fast;
  for (const char* key : {"passes_per_frame", "faces_drawn_per_frame", "faces_culled_per_frame", "batches_per_frame",
                          "fragments_per_pixel", "pass_cpu_ms"})
    keys.erase(key);
  for (auto& [key, value] : keys.items()) EXPECT_TRUE(plain.contains(key)) << key;
  EXPECT_EQ(keys.size(), plain.size()) << "no other key comes or goes";
}
