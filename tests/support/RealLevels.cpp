#include "level/SpawnPoints.h"
#include "level/LevelFile.h"
#include "support/RealLevels.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace testsupport {

namespace {

std::string MapsFolder() {
  return testsupport::ExtractOpenArena("pak1-maps.pk3", {"maps/*.bsp"}) + "/maps";
}

}  // namespace

struct TRealLevel::TImpl {
  testsupport::TTempDir Folder;
  std::unique_ptr<testsupport::TScopedWorkingDir> WorkingDir;
};

TRealLevel::TRealLevel(const std::string& mapName, bool withSurfaceImages, const TLevelOptions& options)
    : Impl(std::make_unique<TImpl>()) {
  const std::string path = MapsFolder() + "/" + mapName + ".bsp";
  fs::create_directory(Impl->Folder / "lgmp");
  if (withSurfaceImages) {
    testsupport::ExtractOpenArena("pak0.pk3", {"textures/*"});
    const std::string root = testsupport::ExtractOpenArena("pak4-textures.pk3", {"textures/*"});
    fs::create_directory_symlink(root + "/textures", Impl->Folder / "textures");
  }
  Impl->WorkingDir = std::make_unique<testsupport::TScopedWorkingDir>(Impl->Folder.Path());
  if (!Level.LoadBSP(path, options)) throw std::runtime_error("cannot load " + path);

  const TLevelFile file(path);
  for (const TSpawnPoint& spawn : LevelSpawnPoints(file)) {
    SpawnEyes.push_back({spawn.Origin.X, spawn.Origin.Y, spawn.Origin.Z + 32});
    SpawnAngles.push_back(spawn.Angle);
  }
}

TRealLevel::~TRealLevel() = default;

std::vector<std::string> MapsBySize() {
  const std::string folder = MapsFolder();
  std::vector<std::pair<std::uintmax_t, std::string>> maps;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder))
    if (entry.path().extension() == ".bsp")
      maps.emplace_back(entry.file_size(), entry.path().stem().string());
  std::sort(maps.rbegin(), maps.rend());
  std::vector<std::string> names;
  for (const auto& map : maps) names.push_back(map.second);
  return names;
}

std::vector<TVector> PositionsBeforeFaces(const TQuake3BSP& level, std::size_t count) {
  std::vector<std::size_t> polygons;
  for (std::size_t f = 0; f < level.Faces.size(); ++f)
    if (level.Faces[f].FaceType == 1 && !level.FaceVertices[f].empty()) polygons.push_back(f);
  std::vector<TVector> positions;
  if (polygons.empty()) return positions;
  const std::size_t step = std::max<std::size_t>(1, polygons.size() / count);
  for (std::size_t i = 0; i < polygons.size() && positions.size() < count; i += step) {
    const std::size_t f = polygons[i];
    TVector centre{0, 0, 0};
    for (const TVector& v : level.FaceVertices[f]) {
      centre.X += v.X;
      centre.Y += v.Y;
      centre.Z += v.Z;
    }
    const float n = static_cast<float>(level.FaceVertices[f].size());
    const TVector& normal = level.Faces[f].Normal;
    positions.push_back({centre.X / n + 16 * normal.X, centre.Y / n + 16 * normal.Y,
                         centre.Z / n + 16 * normal.Z});
  }
  return positions;
}

}  // namespace testsupport
