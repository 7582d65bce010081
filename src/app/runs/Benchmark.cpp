#include "app/runs/Benchmark.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "app/runs/Json.h"

namespace app {
namespace {

constexpr double kDegrees = 180.0 / std::numbers::pi;

// Pitch 270 looks horizontally, along (sin Yaw, cos Yaw, 0).
constexpr float kLevelPitch = 270.0f;

double Distance(const TVector& a, const TVector& b) {
  const double dx = double{b.X} - a.X, dy = double{b.Y} - a.Y, dz = double{b.Z} - a.Z;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// Yaw that looks from a towards b in the horizontal plane; 0 when b is straight above or below.
float YawTowards(const TVector& a, const TVector& b) {
  const double dx = double{b.X} - a.X, dy = double{b.Y} - a.Y;
  if (dx == 0 && dy == 0) return 0.0f;
  return static_cast<float>(std::atan2(dx, dy) * kDegrees);
}

TJson SummaryJson(const std::vector<double>& values, bool withP95, int decimals) {
  const TSummary s = Summarize(values);
  TJson out = {{"min", JsonRounded(s.Min, decimals)}, {"median", JsonRounded(s.Median, decimals)}};
  if (withP95) out["p95"] = JsonRounded(s.P95, decimals);
  out["max"] = JsonRounded(s.Max, decimals);
  return out;
}

}  // namespace

TSummary Summarize(std::vector<double> values) {
  TSummary s;
  if (values.empty()) return s;
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  s.Min = values.front();
  s.Max = values.back();
  s.Median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
  // Nearest rank: ceil(0.95 n), counted from 1; in integers, so that 20 values give rank 19.
  const std::size_t rank = (95 * n + 99) / 100;
  s.P95 = values[std::max<std::size_t>(rank, 1) - 1];
  return s;
}

std::vector<TCameraPose> FlightPath(const std::vector<TVector>& waypoints, int frames) {
  std::vector<TCameraPose> poses;
  if (frames <= 0) return poses;
  poses.reserve(static_cast<std::size_t>(frames));
  if (waypoints.empty()) {
    poses.assign(static_cast<std::size_t>(frames), kStartPose);
    return poses;
  }
  const std::size_t n = waypoints.size();
  std::vector<double> segment(n);
  double total = 0;
  for (std::size_t i = 0; i < n; ++i) total += segment[i] = Distance(waypoints[i], waypoints[(i + 1) % n]);

  if (!(total > 0) || !std::isfinite(total)) {
    const TVector& spot = waypoints.front();
    for (int f = 0; f < frames; ++f)
      poses.push_back({spot.X, spot.Y, spot.Z, 360.0f * f / frames, kLevelPitch});
    return poses;
  }
  std::size_t current = 0;
  double segmentStart = 0;  // distance along the loop where segment `current` begins
  for (int f = 0; f < frames; ++f) {
    const double along = total * f / frames;
    while (current + 1 < n && along >= segmentStart + segment[current]) segmentStart += segment[current++];
    const TVector& a = waypoints[current];
    const TVector& b = waypoints[(current + 1) % n];
    const double t = segment[current] > 0 ? (along - segmentStart) / segment[current] : 0;
    const TVector at{static_cast<float>(a.X + (double{b.X} - a.X) * t),
                     static_cast<float>(a.Y + (double{b.Y} - a.Y) * t),
                     static_cast<float>(a.Z + (double{b.Z} - a.Z) * t)};
    poses.push_back({at.X, at.Y, at.Z, YawTowards(a, b), kLevelPitch});
  }
  return poses;
}

std::vector<TVector> LeafWaypoints(const TQuake3BSP& level, int count) {
  std::vector<const TBSPLeaf*> inside;
  for (const TBSPLeaf& leaf : level.Leaves)
    if (leaf.Cluster >= 0) inside.push_back(&leaf);
  std::vector<TVector> points;
  if (inside.empty() || count <= 0) return points;
  const std::size_t wanted = std::min(inside.size(), static_cast<std::size_t>(count));
  for (std::size_t i = 0; i < wanted; ++i) {
    const TBSPLeaf& leaf = *inside[i * inside.size() / wanted];
    points.push_back({(static_cast<float>(leaf.Mins[0]) + static_cast<float>(leaf.Maxs[0])) / 2,
                      (static_cast<float>(leaf.Mins[1]) + static_cast<float>(leaf.Maxs[1])) / 2,
                      (static_cast<float>(leaf.Mins[2]) + static_cast<float>(leaf.Maxs[2])) / 2});
  }
  return points;
}

std::string BenchmarkText(const TBenchmarkResult& r) {
  const TSummary frame = Summarize(r.FrameMs);
  const TSummary faces = Summarize(r.FacesPerFrame);
  char line[256];
  std::string out;
  std::snprintf(line, sizeof line, "level          %s\nrenderer       %s\nsize           %d x %d\n"
                "path           %s\n", r.Level.c_str(), r.Renderer.c_str(), r.Width, r.Height,
                r.Path.c_str());
  out += line;
  if (!r.Mode.empty()) out += "mode           " + r.Mode + "\n";
  std::snprintf(line, sizeof line, "load           %.1f ms", r.LoadTotalMs);
  out += line;
  for (std::size_t i = 0; i < r.LoadStagesMs.size(); ++i) {
    std::snprintf(line, sizeof line, "%s%s %.1f", i == 0 ? " (" : ", ",
                  r.LoadStagesMs[i].first.c_str(), r.LoadStagesMs[i].second);
    out += line;
  }
  out += r.LoadStagesMs.empty() ? "\n" : ")\n";
  std::snprintf(line, sizeof line, "frames         %zu\n", r.FrameMs.size());
  out += line;
  std::snprintf(line, sizeof line,
                "frame ms       min %.3f  median %.3f  p95 %.3f  max %.3f  (%.1f frames/s at the "
                "median)\n",
                frame.Min, frame.Median, frame.P95, frame.Max,
                frame.Median > 0 ? 1000.0 / frame.Median : 0.0);
  out += line;
  std::snprintf(line, sizeof line, "faces/frame    min %.0f  median %.1f  max %.0f\n", faces.Min,
                faces.Median, faces.Max);
  out += line;
  if (!r.TrianglesPerFrame.empty()) {
    const TSummary triangles = Summarize(r.TrianglesPerFrame);
    std::snprintf(line, sizeof line, "triangles/frame min %.0f  median %.1f  max %.0f\n",
                  triangles.Min, triangles.Median, triangles.Max);
    out += line;
  }
  const std::pair<const char*, const std::vector<double>*> fast[] = {
      {"passes/frame  ", &r.PassesPerFrame}, {"drawn/frame   ", &r.FacesDrawnPerFrame},
      {"culled/frame  ", &r.FacesCulledPerFrame}, {"batches/frame ", &r.BatchesPerFrame},
      {"portals/frame ", &r.PortalViewsPerFrame}};
  for (const auto& [label, values] : fast) {
    if (values->empty()) continue;
    const TSummary s = Summarize(*values);
    std::snprintf(line, sizeof line, "%s min %.0f  median %.1f  max %.0f\n", label, s.Min, s.Median, s.Max);
    out += line;
  }
  return out;
}

std::string BenchmarkJson(const TBenchmarkResult& r) {
  TJson out;
  out["level"] = JsonText(r.Level);
  out["renderer"] = JsonText(r.Renderer);
  out["width"] = r.Width;
  out["height"] = r.Height;
  out["path"] = JsonText(r.Path);
  if (!r.Mode.empty()) out["mode"] = JsonText(r.Mode);
  out["frames"] = r.FrameMs.size();
  out["load_total_ms"] = JsonRounded(r.LoadTotalMs);
  out["load_stages_ms"] = TJson::object();
  for (const auto& [stage, ms] : r.LoadStagesMs) out["load_stages_ms"][stage] = JsonRounded(ms);
  out["frame_ms"] = SummaryJson(r.FrameMs, true, 3);
  out["faces_per_frame"] = SummaryJson(r.FacesPerFrame, false, 1);
  out["peak_rss_mb"] = JsonRounded(r.PeakRssMb, 1);
  out["load_peak_rss_mb"] = JsonRounded(r.LoadPeakRssMb, 1);
  if (!r.TrianglesPerFrame.empty())
    out["triangles_per_frame"] = SummaryJson(r.TrianglesPerFrame, false, 1);
  if (!r.PassesPerFrame.empty()) {
    out["passes_per_frame"] = SummaryJson(r.PassesPerFrame, false, 1);
    out["faces_drawn_per_frame"] = SummaryJson(r.FacesDrawnPerFrame, false, 1);
    out["faces_culled_per_frame"] = SummaryJson(r.FacesCulledPerFrame, false, 1);
    out["batches_per_frame"] = SummaryJson(r.BatchesPerFrame, false, 1);
  }
  if (!r.PortalViewsPerFrame.empty()) out["portal_views_per_frame"] = SummaryJson(r.PortalViewsPerFrame, false, 1);
  if (!r.FragmentsPerPixel.empty()) out["fragments_per_pixel"] = SummaryJson(r.FragmentsPerPixel, false, 3);
  if (!r.PassCpuMs.empty()) {
    out["pass_cpu_ms"] = TJson::object();
    for (const auto& [pass, ms] : r.PassCpuMs) out["pass_cpu_ms"][pass] = SummaryJson(ms, false, 3);
  }
  return JsonLine(out);
}

}  // namespace app
