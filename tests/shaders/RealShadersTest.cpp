// Every OpenArena level of Debian's packages, described through the game's shader scripts as
// --info --shaders describes it: at most 0.1 % of the polygon faces are left without an image.
// The archives are read in the game's order (by name, later ones overriding earlier ones), the
// scripts and levels extracted into a folder of this test, images only listed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <set>

#include "app/runs/LevelReport.h"
#include "shaders/Shaders.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

TEST(RealShaders, AlmostEveryFaceOfEveryLevelHasAnImage) {
  const std::string pak0 = testsupport::OpenArenaArchive("pak0.pk3");
  ASSERT_FALSE(pak0.empty()) << "OpenArena not installed";
  std::vector<fs::path> archives;
  for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(pak0).parent_path()))
    if (Lower(entry.path().extension().string()) == ".pk3") archives.push_back(entry.path());
  std::sort(archives.begin(), archives.end());

  testsupport::TTempDir folder;
  std::set<std::string> images;
  for (const fs::path& archive : archives) {
    const std::string command = "unzip -qq -o '" + archive.string() + "' 'scripts/*.shader' 'maps/*.bsp' -d '" +
                                folder.Path() + "' >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(status == 0 || WEXITSTATUS(status) == 11) << command;
    for (const std::string& name : testsupport::ListOpenArena(archive.filename().string(), ""))
      images.insert(Lower(name));
  }
  testsupport::TScopedWorkingDir workingDir(folder.Path());
  const shaders::TShaderTable table = shaders::LoadShaderTable(shaders::BaseFolderSource());
  // The scripts of the packages scripts/install-deps installs define 2,228 shaders (1,960 without
  // openarena-oacmp1); other packages can only add to them.
  EXPECT_GE(table.Shaders.size(), 2228u);
  const auto exists = [&](const std::string& name) { return images.count(Lower(name)) > 0; };

  std::int64_t polygons = 0, withoutImage = 0, levels = 0;
  std::map<std::string, std::int64_t> remaining;  // texture -> faces, over all levels
  for (const fs::directory_entry& entry : fs::directory_iterator(folder / "maps")) {
    if (Lower(entry.path().extension().string()) != ".bsp") continue;
    const std::optional<app::TLoadedRecords> loaded = app::LoadLevelRecords(entry.path().string());
    ASSERT_TRUE(loaded) << entry.path();
    app::TLevelInfo info = app::GatherLevelInfo(loaded->File, loaded->Records);
    app::DescribeShadedTextures(info, table, exists);
    ++levels;
    polygons += info.Polygons;
    withoutImage += info.FacesWithoutImage;
    for (const app::TTextureReport& texture : info.Textures)
      if (texture.Origin == "none" && texture.FaceCount > 0) remaining[texture.Name + " [" + texture.Flags + "]"] += texture.FaceCount;
  }
  for (const auto& [name, faces] : remaining) std::cout << "  without image: " << name << " " << faces << " faces\n";
  std::cout << levels << " levels, " << polygons << " polygon faces, " << withoutImage
            << " faces without image, " << table.Shaders.size() << " shaders\n";
  // Every level of the archives was looked at.
  EXPECT_EQ(levels, std::count_if(images.begin(), images.end(), [](const std::string& name) {
              return name.starts_with("maps/") && name.ends_with(".bsp") && name.find('/', 5) == std::string::npos;
            }));
  EXPECT_LE(withoutImage * 1000, polygons);
}

}  // namespace
