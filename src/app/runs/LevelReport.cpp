#include "app/runs/LevelReport.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdio>
#include <iostream>

#include "app/runs/Export.h"
#include "app/runs/Json.h"
#include "app/runs/LevelFile.h"
#include "app/runs/TerminalText.h"
#include "app/runs/TextFormat.h"
#include "level/Frustum.h"
#include "level/LightmapFiles.h"
#include "level/Q3BSP_visibility.h"
#include "level/SpawnPoints.h"
#include "platform/ByteReader.h"
#include "platform/Files.h"
#include "platform/Messages.h"

namespace app {

std::optional<TLoadedRecords> LoadLevelRecords(const std::string& path, const TLevelBytes& bytes) {
  std::optional<TLevelFile> file = OpenLevelFile(path, bytes);
  if (!file) return std::nullopt;
  try {
    TBSPFile records = ParseBSP(file->Data());
    return TLoadedRecords{std::move(*file), std::move(records)};
  } catch (const std::exception& e) {
    std::cerr << "bspwalk: " << path << ": not a usable BSP file: " << e.what() << "\n";
  }
  return std::nullopt;
}

TLevelInfo GatherLevelInfo(const TLevelFile& file, const TBSPFile& records) {
  TLevelInfo info;
  info.Path = file.Path();
  info.FileSize = file.Size();
  info.Header = records.Header;
  info.VertexCount = static_cast<std::int32_t>(records.Vertices.size());
  info.FaceCount = static_cast<std::int32_t>(records.Faces.size());
  info.TextureCount = static_cast<std::int32_t>(records.Textures.size());
  info.LightmapCount = static_cast<std::int32_t>(records.Lightmaps.size());
  info.NodeCount = static_cast<std::int32_t>(records.Nodes.size());
  info.LeafCount = static_cast<std::int32_t>(records.Leaves.size());
  info.LeafFaceCount = static_cast<std::int32_t>(records.LeafFaces.size());
  info.PlaneCount = static_cast<std::int32_t>(records.Planes.size());
  info.MeshVertexCount = static_cast<std::int32_t>(records.MeshVertices.size());
  info.HasVisData = records.HasVisData;
  info.ClusterCount = records.VisData.ClusterCount;
  info.BytesPerCluster = records.VisData.BytesPerCluster;

  // Visible pairs (row, cluster) with both inside ClusterCount; a row shorter than the cluster
  // count simply has fewer bits to count. Only rows that hold bytes are walked: a file may claim
  // two billion clusters of zero bytes each.
  if (records.HasVisData && info.BytesPerCluster > 0) {
    const std::int64_t clusters = info.ClusterCount;
    const std::int64_t rowBytes = info.BytesPerCluster;
    const std::vector<std::uint8_t>& bits = records.VisData.Bits;
    const std::int64_t rows =
        std::min<std::int64_t>(clusters, static_cast<std::int64_t>(bits.size()) / rowBytes);
    for (std::int64_t r = 0; r < rows; ++r) {
      for (std::int64_t b = 0; b < rowBytes && b * 8 < clusters; ++b) {
        const std::size_t at = static_cast<std::size_t>(r * rowBytes + b);
        if (at >= bits.size()) break;
        std::uint8_t byte = bits[at];
        const std::int64_t valid = std::min<std::int64_t>(8, clusters - b * 8);
        if (valid < 8) byte &= static_cast<std::uint8_t>((1u << valid) - 1);
        info.VisiblePairs += std::popcount(byte);
      }
    }
  }

  for (const TBSPFace& face : records.Faces) {
    switch (face.FaceType) {
      case 1: ++info.Polygons; break;
      case 2: ++info.Patches; break;
      case 3: ++info.Meshes; break;
      case 4: ++info.Billboards; break;
      default: ++info.OtherFaces; break;
    }
  }
  for (const TBSPLeaf& leaf : records.Leaves)
    if (leaf.Cluster >= 0) ++info.ClusteredLeaves;

  info.Spawns = LevelSpawnPoints(file);
  info.SpawnPoints = static_cast<std::int32_t>(info.Spawns.size());
  info.SpawnDuplicates = DuplicateSpawnPoints(info.Spawns);
  info.WorldBounds = file.WorldBounds();
  info.Entities = GatherEntityInfo(file);

  for (const TBSPTexture& texture : records.Textures) {
    TTextureReport report;
    report.Name = TextureBaseName(texture);
    // The loader loads ".jpg" then ".tga" into the same slot, so ".tga" wins when both exist.
    if (platform::FileExists(report.Name + ".tga"))
      report.Image = ".tga";
    else if (platform::FileExists(report.Name + ".jpg"))
      report.Image = ".jpg";
    info.Textures.push_back(std::move(report));
  }
  for (const TBSPFace& face : records.Faces)
    if (face.TextureIndex >= 0 && face.TextureIndex < info.TextureCount)
      ++info.Textures[static_cast<std::size_t>(face.TextureIndex)].FaceCount;
  return info;
}

void DescribeShadedTextures(TLevelInfo& info, const shaders::TShaderTable& table,
                            const std::function<bool(const std::string&)>& imageExists) {
  info.Shaders = true;
  for (TTextureReport& texture : info.Textures) {
    const shaders::TTextureSurface surface = shaders::DescribeTexture(texture.Name, table, imageExists);
    texture.Origin = shaders::OriginName(surface.Origin);
    texture.Flags = shaders::FlagsText(surface.State);
    if (surface.Origin != shaders::TImageOrigin::None || !shaders::NeedsImage(surface.State)) continue;
    ++info.TexturesWithoutImage;
    info.FacesWithoutImage += texture.FaceCount;
  }
}

void AddSurfaceTriangles(TLevelInfo& info, const TBSPFile& records, std::int32_t tessellation,
                         std::uint64_t mostBytes) {
  const TSurfacePlan plan = PlanSurfaces(records.Faces, tessellation, mostBytes);
  info.Surfaces = TLevelInfo::TSurfaceTriangles{tessellation, FileTriangles(records.Faces),
                                                TessellatedTriangles(records.Faces, plan),
                                                plan.NotDrawn};
}

std::string LevelInfoText(const TLevelInfo& info) {
  std::string out;
  out += "File            " + info.Path + " (" + std::to_string(info.FileSize) + " bytes)\n";
  out += Format("Header          ID %s, version %d\n", PrintableID(info.Header).c_str(),
                info.Header.Version);
  const std::pair<const char*, std::int32_t> counts[] = {
      {"VertexCount", info.VertexCount},     {"FaceCount", info.FaceCount},
      {"TextureCount", info.TextureCount},   {"LightmapCount", info.LightmapCount},
      {"NodeCount", info.NodeCount},         {"LeafCount", info.LeafCount},
      {"LeafFaceCount", info.LeafFaceCount}, {"PlaneCount", info.PlaneCount},
      {"MeshVertexCount", info.MeshVertexCount}};
  for (const auto& [name, value] : counts) out += Format("%-15s %d\n", name, value);
  out += Format("Faces by type   %d polygon, %d patch, %d mesh, %d billboard, %d other\n",
                info.Polygons, info.Patches, info.Meshes, info.Billboards, info.OtherFaces);
  if (info.Surfaces) {
    const auto& s = *info.Surfaces;
    out += Format("Triangles       in the file: %lld polygon, %lld patch (control grids), %lld mesh\n",
                  static_cast<long long>(s.Before.Polygon), static_cast<long long>(s.Before.Patch),
                  static_cast<long long>(s.Before.Mesh));
    out += Format("                drawn at --tess %d: %lld polygon, %lld patch, %lld mesh; "
                  "%d curved surfaces not drawn\n",
                  s.Tessellation, static_cast<long long>(s.After.Polygon),
                  static_cast<long long>(s.After.Patch), static_cast<long long>(s.After.Mesh),
                  s.PatchesNotDrawn);
  }
  if (info.Drawn)
    out += Format("Drawn           %d faces, %lld triangles, %zu materials (texture and lightmap "
                  "pairs; no sky, no nodraw)\n",
                  info.Drawn->Faces, static_cast<long long>(info.Drawn->Triangles), info.Drawn->Materials);
  out += Format("Leaves          %d in a cluster, %d outside\n", info.ClusteredLeaves,
                info.LeafCount - info.ClusteredLeaves);
  if (info.HasVisData) {
    const double pairs = double{1.0} * info.ClusterCount * info.ClusterCount;
    out += Format("Visibility      ClusterCount %d, BytesPerCluster %d, PVS density %.1f %% "
                  "(%lld of %.0f cluster pairs visible)\n",
                  info.ClusterCount, info.BytesPerCluster,
                  pairs > 0 ? 100.0 * static_cast<double>(info.VisiblePairs) / pairs : 0.0,
                  static_cast<long long>(info.VisiblePairs), pairs);
  } else {
    out += "Visibility      none: every leaf is drawn from everywhere\n";
  }
  out += Format("Spawn points    %d\n", info.SpawnPoints);
  for (std::size_t i = 0; i < info.Spawns.size(); ++i) {
    const TSpawnPoint& s = info.Spawns[i];
    out += Format("  %3zu %-24s %g %g %g, angle %g%s%s\n", i + 1, TerminalText(s.ClassName).c_str(),
                  static_cast<double>(s.Origin.X), static_cast<double>(s.Origin.Y),
                  static_cast<double>(s.Origin.Z), static_cast<double>(s.Angle),
                  IsTeamSpawn(s) ? " (CTF)" : "",
                  info.SpawnDuplicates[i] ? " (where an earlier one stands)" : "");
  }
  if (info.WorldBounds) {
    const TLevelFile::TBounds& b = *info.WorldBounds;
    out += Format("World bounds    %g %g %g to %g %g %g\n", static_cast<double>(b.Mins.X),
                  static_cast<double>(b.Mins.Y), static_cast<double>(b.Mins.Z),
                  static_cast<double>(b.Maxs.X), static_cast<double>(b.Maxs.Y),
                  static_cast<double>(b.Maxs.Z));
  } else {
    out += "World bounds    none (no model record)\n";
  }
  out += EntityInfoText(info.Entities);
  int jpg = 0, tga = 0, missing = 0;
  for (const TTextureReport& t : info.Textures)
    (t.Image == ".jpg" ? jpg : t.Image == ".tga" ? tga : missing)++;
  out += Format("Textures        %d: %d .jpg, %d .tga, %d without an image\n", info.TextureCount,
                jpg, tga, missing);
  // A shader drawn by its stages has no one image of the texture's name, yet is drawn: "stages".
  const auto imageText = [&info](const TTextureReport& t) {
    if (!t.Image.empty()) return t.Image.c_str();
    return info.Shaders && t.Origin == "shader" ? "stages" : "none";
  };
  for (const TTextureReport& t : info.Textures)
    out += Format("  %-56s %-5s %6d faces", TerminalText(t.Name).c_str(), imageText(t), t.FaceCount) +
           (info.Shaders ? Format("  %-11s %s", t.Origin.c_str(), t.Flags.c_str()) : "") + "\n";
  if (info.Shaders)
    out += Format("Shaders         TexturesWithoutImage %d, FacesWithoutImage %d\n",
                  info.TexturesWithoutImage, info.FacesWithoutImage);
  if (info.Lightmaps)
    out += "Lightmaps       " + LightmapReportText(*info.Lightmaps) + "\n";
  else
    out += Format("Lightmaps       %d\n", info.LightmapCount);
  if (info.GameLight) out += "Light           " + LightModeText(*info.GameLight) + "\n";
  return out;
}

std::string LevelInfoJson(const TLevelInfo& info) {
  TJson out;
  out["File"] = JsonText(info.Path);
  out["FileSize"] = info.FileSize;
  out["ID"] = JsonText(std::string(info.Header.ID, 4));
  out["Version"] = info.Header.Version;
  const std::pair<const char*, std::int64_t> counts[] = {
      {"VertexCount", info.VertexCount},     {"FaceCount", info.FaceCount},
      {"TextureCount", info.TextureCount},   {"LightmapCount", info.LightmapCount},
      {"NodeCount", info.NodeCount},         {"LeafCount", info.LeafCount},
      {"LeafFaceCount", info.LeafFaceCount}, {"PlaneCount", info.PlaneCount},
      {"MeshVertexCount", info.MeshVertexCount}, {"ClusterCount", info.ClusterCount},
      {"BytesPerCluster", info.BytesPerCluster}, {"ClusteredLeaves", info.ClusteredLeaves},
      {"SpawnPoints", info.SpawnPoints}};
  for (const auto& [name, value] : counts) out[name] = value;
  out["HasVisData"] = info.HasVisData;
  out["VisiblePairs"] = info.VisiblePairs;
  const double pairs = double{1.0} * info.ClusterCount * info.ClusterCount;
  out["PVSDensity"] = info.HasVisData && pairs > 0
                          ? JsonRounded(static_cast<double>(info.VisiblePairs) / pairs, 6)
                          : TJson(nullptr);
  out["FacesByType"] = {{"Polygon", info.Polygons}, {"Patch", info.Patches},
                        {"Mesh", info.Meshes},       {"Billboard", info.Billboards},
                        {"Other", info.OtherFaces}};
  if (info.Surfaces) {
    const auto counts = [](const TTriangleCounts& c) {
      return TJson{{"Polygon", c.Polygon}, {"Patch", c.Patch}, {"Mesh", c.Mesh}};
    };
    out["Triangles"] = {{"Tessellation", info.Surfaces->Tessellation},
                        {"InFile", counts(info.Surfaces->Before)},
                        {"Drawn", counts(info.Surfaces->After)},
                        {"PatchesNotDrawn", info.Surfaces->PatchesNotDrawn}};
  }
  if (info.Drawn)
    out["Drawn"] = {{"Faces", info.Drawn->Faces}, {"Triangles", info.Drawn->Triangles},
                    {"Materials", info.Drawn->Materials}};
  const auto vector = [](const TVector& v) {
    return TJson{JsonFloat(v.X), JsonFloat(v.Y), JsonFloat(v.Z)};
  };
  out["Spawns"] = TJson::array();
  for (std::size_t i = 0; i < info.Spawns.size(); ++i) {
    const TSpawnPoint& s = info.Spawns[i];
    out["Spawns"].push_back({{"Number", i + 1},
                             {"Class", JsonText(s.ClassName)},
                             {"Origin", vector(s.Origin)},
                             {"Angle", JsonFloat(s.Angle)},
                             {"CTF", IsTeamSpawn(s)},
                             {"Duplicate", static_cast<bool>(info.SpawnDuplicates[i])}});
  }
  out["WorldBounds"] = info.WorldBounds ? TJson{{"Mins", vector(info.WorldBounds->Mins)},
                                                {"Maxs", vector(info.WorldBounds->Maxs)}}
                                        : TJson(nullptr);
  AddEntityInfoJson(out, info.Entities);
  out["Textures"] = TJson::array();
  for (const TTextureReport& t : info.Textures) {
    TJson texture = {{"Name", JsonText(t.Name)},
                     {"Image", t.Image.empty() ? TJson(nullptr) : JsonText(t.Image)},
                     {"FaceCount", t.FaceCount}};
    if (info.Shaders) {
      texture["Origin"] = JsonText(t.Origin);
      texture["Flags"] = JsonText(t.Flags);
    }
    out["Textures"].push_back(std::move(texture));
  }
  if (info.Shaders) {
    out["TexturesWithoutImage"] = info.TexturesWithoutImage;
    out["FacesWithoutImage"] = info.FacesWithoutImage;
  }
  if (info.Lightmaps) AddLightmapReport(out, *info.Lightmaps);
  if (info.GameLight) out["LightMode"] = *info.GameLight ? "game" : "design";
  return JsonLine(out);
}


// The records, with the time they took on standard error for --verbose. No image or lightmap is
// loaded in these modes, so that is the whole load.
std::optional<TLoadedRecords> LoadForReport(const TRunOptions& options) {
  const auto start = std::chrono::steady_clock::now();
  std::optional<TLoadedRecords> loaded = LoadLevelRecords(options.LevelPath, options.LevelBytes);
  if (loaded && options.Verbose)
    std::cerr << "bspwalk: level read and checked in "
              << Format("%.1f", std::chrono::duration<double, std::milli>(
                                    std::chrono::steady_clock::now() - start).count())
              << " ms\n";
  return loaded;
}

std::uint64_t TessellationBytesFor(const TRunOptions& options, std::size_t fileSize) {
  const platform::TBudgetLimits limits =
      options.LevelOptions.Budget ? options.LevelOptions.Budget->Limits() : platform::TBudgetLimits{};
  return TessellationAllowance(limits, limits.TessellationBytes, fileSize);
}

int RunInfo(const TRunOptions& options) {
  std::optional<TLoadedRecords> loaded = LoadForReport(options);
  if (!loaded) return 1;
  TLevelInfo info = GatherLevelInfo(loaded->File, loaded->Records);
  std::vector<shaders::TDrawState> states;
  if (options.Shaders) {
    const TLevelOptions& levelOptions = options.LevelOptions;
    const shaders::TShaderSource source =
        levelOptions.ShaderSource.ScriptNames ? levelOptions.ShaderSource : shaders::BaseFolderSource();
    const shaders::TShaderTable table = shaders::LoadShaderTable(source, options.LevelOptions.Budget);
    if (options.Verbose)
      for (const shaders::TProblem& problem : table.Problems)
        std::cerr << "bspwalk: " << problem.Describe() << "\n";
    DescribeShadedTextures(info, table, source.ImageExists);
    for (const TTextureReport& texture : info.Textures)
      states.push_back(shaders::DescribeTexture(texture.Name, table, source.ImageExists).State);
  }
  if (options.AllSurfaces) {
    const std::uint64_t mostBytes = TessellationBytesFor(options, loaded->File.Size());
    AddSurfaceTriangles(info, loaded->Records, options.Tessellation, mostBytes);
    if (options.Verbose)
      for (const std::string& warning :
           PlanSurfaces(loaded->Records.Faces, options.Tessellation, mostBytes).Warnings)
        std::cerr << "bspwalk: warning: " << warning << "\n";
  }
  if (options.Shaders || options.AllSurfaces || options.BrushModels) {
    const TExportPlan plan = PlanExportOf(loaded->File, loaded->Records, options, states);
    info.Drawn = TLevelInfo::TDrawn{plan.Faces, plan.Triangles, plan.Materials.size()};
  }
  if (options.ExternalLightmaps) {
    info.Lightmaps = GatherLightmapReport(loaded->Records, LightmapFolderFor(options));
    for (const std::string& warning : info.Lightmaps->Warnings) std::cerr << "bspwalk: warning: " << warning << "\n";
  }
  if (options.LightAsked) info.GameLight = options.GameLight;
  std::cout << (options.Json ? LevelInfoJson(info) : LevelInfoText(info)) << std::flush;
  return 0;
}

}  // namespace app
