// The player's box swept through real levels: 10,000 random sweeps from free places (eye positions
// whose box is not in solid, in the level's sealed space), each up to 512 units long in a random
// direction, average time per sweep (goal: under 20 us); and one step of walking, which a frame
// of the viewer runs about twice (goal: under 1 % of a frame).
//   bench_physics [--benchmark_min_time=...]
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "level/BSPFile.h"
#include "level/SpawnPoints.h"
#include "physics/VectorMath.h"
#include "physics/WalkLevel.h"
#include "support/TestSupport.h"

namespace {

using namespace physics;

constexpr int kSweeps = 10000;

// Whether the point lies in a leaf of the sealed space (one with a cluster), not in the void.
bool InSealedSpace(const TBSPFile& records, const TVector& point) {
  std::int32_t child = 0;
  while (child >= 0) {
    const TBSPNode& node = records.Nodes[static_cast<std::size_t>(child)];
    const TBSPPlane& plane = records.Planes[static_cast<std::size_t>(node.PlaneIndex)];
    child = Dot(plane.Normal, point) - plane.Distance >= 0 ? node.Front : node.Back;
  }
  return records.Leaves[static_cast<std::size_t>(-(child + 1))].Cluster >= 0;
}

struct TLoaded {
  std::unique_ptr<TLevelFile> File;
  TWalkLevel Level;
  std::vector<std::pair<TVector, TVector>> Sweeps;
  std::vector<TVector> Spawns;
};

TLoaded& Loaded(const std::string& name) {
  static std::vector<std::pair<std::string, std::unique_ptr<TLoaded>>> cache;
  for (auto& [key, value] : cache)
    if (key == name) return *value;
  const std::string root = testsupport::ExtractOpenArena("pak1-maps.pk3", {"maps/" + name + ".bsp"});
  auto loaded = std::make_unique<TLoaded>();
  loaded->File = std::make_unique<TLevelFile>(root + "/maps/" + name + ".bsp");
  loaded->Level = ReadWalkLevel(*loaded->File);
  const auto bounds = loaded->File->WorldBounds();
  const TBSPFile records = ParseBSP(loaded->File->Data());
  std::mt19937 random(7);
  std::uniform_real_distribution<float> unit(0, 1), angle(0, 6.2831853f), length(0, 512);
  while (loaded->Sweeps.size() < kSweeps) {
    const TVector start{bounds->Mins.X + unit(random) * (bounds->Maxs.X - bounds->Mins.X),
                        bounds->Mins.Y + unit(random) * (bounds->Maxs.Y - bounds->Mins.Y),
                        bounds->Mins.Z + unit(random) * (bounds->Maxs.Z - bounds->Mins.Z)};
    if (!InSealedSpace(records, start) || loaded->Level.World.Trace(start, start, kStandingBox).StartSolid) continue;
    const float yaw = angle(random), pitch = (unit(random) - 0.5f) * 3.14159f, reach = length(random);
    const TVector direction{std::cos(yaw) * std::cos(pitch), std::sin(yaw) * std::cos(pitch), std::sin(pitch)};
    loaded->Sweeps.emplace_back(start, start + direction * reach);
  }
  for (const TSpawnPoint& spawn : LevelSpawnPoints(*loaded->File))
    loaded->Spawns.push_back(spawn.Origin + TVector{0, 0, kSpawnLift + kStandingEye});
  cache.emplace_back(name, std::move(loaded));
  return *cache.back().second;
}

void BM_Sweep(benchmark::State& state, const std::string& name) {
  TLoaded& loaded = Loaded(name);
  float sum = 0;
  for (auto _ : state)
    for (const auto& [from, to] : loaded.Sweeps) sum += loaded.Level.World.Trace(from, to, kStandingBox).Fraction;
  benchmark::DoNotOptimize(sum);
  state.counters["per_sweep"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kSweeps,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["patch_brushes"] = static_cast<double>(loaded.Level.World.PatchBrushCount());
}

// Running forward from each spawn point, a step at a time.
void BM_WalkStep(benchmark::State& state, const std::string& name) {
  TLoaded& loaded = Loaded(name);
  std::vector<TPlayer> players;
  for (const TVector& eye : loaded.Spawns) players.push_back(PlayerAtEye(eye));
  TMoveInput input;
  input.Forward = 1;
  std::size_t next = 0;
  for (auto _ : state) {
    TPlayer& player = players[next++ % players.size()];
    StepPlayer(loaded.Level.World, &loaded.Level.Movers, player, input);
    player.Yaw += 1;  // round and round, so that the run meets walls and stairs alike
  }
  state.counters["per_step"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

}  // namespace

BENCHMARK_CAPTURE(BM_Sweep, oa_dm4, std::string("oa_dm4"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Sweep, oa_dm3, std::string("oa_dm3"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WalkStep, oa_dm4, std::string("oa_dm4"))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_WalkStep, oa_dm3, std::string("oa_dm3"))->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
