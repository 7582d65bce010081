#pragma once
// The benchmark: a reproducible flight through the level, drawn without the frame gate, with each
// frame timed from its start to after the buffer swap (glFinish included, so rasterization
// counts), and the figures a person compares between machines and builds.
#include <string>
#include <utility>
#include <vector>

#include "app/runs/RunOptions.h"
#include "level/Q3BSP.h"

namespace app {

struct TSummary {
  double Min = 0, Median = 0, P95 = 0, Max = 0;
};

// Min, median (the mean of the two middle values for an even count), 95th percentile (nearest
// rank: the smallest value with at least 95 % of the values at or below it) and max; all 0 when
// there are no values.
TSummary Summarize(std::vector<double> values);

// The poses of a closed flight through the waypoints, in order and back to the first, at an even
// speed: frame i stands at i / frames of the loop's length, looking horizontally along its
// segment. With one waypoint (or all at one spot) the camera turns on that spot, a full turn over
// the frames. No waypoints: the design's start pose every frame.
std::vector<TCameraPose> FlightPath(const std::vector<TVector>& waypoints, int frames);

// Up to `count` waypoints spread evenly over the leaves that belong to a cluster, in leaf order:
// each the centre of its leaf's box. For levels whose entities name no spawn point.
std::vector<TVector> LeafWaypoints(const TQuake3BSP& level, int count);

struct TBenchmarkResult {
  std::string Level;
  std::string Renderer;
  int Width = 0, Height = 0;
  std::string Path;  // "spawn points", "leaves" or "fixed camera"
  double LoadTotalMs = 0;
  std::vector<std::pair<std::string, double>> LoadStagesMs;
  std::vector<double> FrameMs;
  std::vector<double> FacesPerFrame;
  // The process's high-water mark of resident memory, in MB: right after the load, and at the end.
  double LoadPeakRssMb = 0;
  double PeakRssMb = 0;
  std::string Mode;  // the view modes drawn ("wireframe", "lightmaps+freeze"); empty: the plain frame
  std::vector<double> TrianglesPerFrame;  // with --surfaces all only; printed when not empty
  // With --fast only (printed when not empty): passes over the opaque surfaces, batched faces
  // drawn and culled, and draws per pass, each frame.
  std::vector<double> PassesPerFrame, FacesDrawnPerFrame, FacesCulledPerFrame, BatchesPerFrame;
  // With --json: fragments of the opaque surfaces per pixel they cover (render/FragmentCount.h).
  std::vector<double> FragmentsPerPixel;
  // With --portals only: the portal views each frame drew (render/Portals.h).
  std::vector<double> PortalViewsPerFrame;
  // With --json: each pass's processor milliseconds (render/PassTimes.h), by name, measured on
  // frames of their own at every tenth pose after the timed ones.
  std::vector<std::pair<std::string, std::vector<double>>> PassCpuMs;
};

std::string BenchmarkText(const TBenchmarkResult& result);
std::string BenchmarkJson(const TBenchmarkResult& result);

// The whole run for --benchmark; returns the exit code.
int RunBenchmark(const TRunOptions& options);

}  // namespace app
