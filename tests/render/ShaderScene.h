#pragma once
// The scene the render tests of shaded levels share (StagePixelsTest, GamePictureTest): a level of
// quads written with its scripts and images into a temporary folder, loaded with --shaders into a
// kSceneSize x kSceneSize offscreen context, drawn from a pose and read back.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/viewer/frmMain.h"
#include "gl/OpenGL.h"
#include "render/RenderCache.h"
#include "support/BspWriter.h"
#include "support/ImageWriters.h"
#include "support/TestSupport.h"
#include "window/OffscreenContext.h"

namespace testsupport {

inline constexpr int kSceneSize = 64;

// A 4 x 4 TGA whose column x has colours[x % colours.size()].
inline TBytes ColumnsImage(const std::vector<std::array<int, 3>>& colours) {
  TBytes pixels;
  for (int y = 0; y < 4; ++y)
    for (std::size_t x = 0; x < 4; ++x) {
      const std::array<int, 3>& c = colours[x % colours.size()];
      pixels.insert(pixels.end(), {static_cast<std::uint8_t>(c[2]), static_cast<std::uint8_t>(c[1]),
                                   static_cast<std::uint8_t>(c[0]), 255});
    }
  TTGAOptions options;
  options.Depth = 32;
  return MakeTGA(4, 4, pixels, options);
}

class TShaderScene {
 public:
  TShaderScene() {
    Level = TBspWriter::SmallLevel();
    Level.Vertices.clear();
    Level.Faces.clear();
    Level.LeafFaces.clear();
    Level.MeshVertices.clear();
    Level.Lightmaps.clear();
    Level.Textures.clear();
  }
  ~TShaderScene() { UnloadOpenGL(); }
  TShaderScene(const TShaderScene&) = delete;
  TShaderScene& operator=(const TShaderScene&) = delete;

  void Write(const std::string& path, const TBytes& bytes) {
    std::filesystem::create_directories(std::filesystem::path(Folder / path).parent_path());
    WriteFile(Folder / path, bytes);
  }
  void Script(const std::string& text) { Write("scripts/test.shader", TBytes(text.begin(), text.end())); }
  std::int32_t Texture(const std::string& name) {
    Level.Textures.push_back(TBspWriter::Texture(name));
    return static_cast<std::int32_t>(Level.Textures.size()) - 1;
  }
  // A quad of four corners (x, y, z, s, t) facing the eye.
  void Quad(std::int32_t texture, const std::array<std::array<float, 5>, 4>& corners) {
    const auto first = static_cast<std::int32_t>(Level.Vertices.size());
    for (const auto& [x, y, z, s, t] : corners) {
      Level.Vertices.push_back(TBspWriter::Vertex(x, y, z, s, t));
      Level.Vertices.back().Normal = {-1, 0, 0};
    }
    Level.Faces.push_back(TBspWriter::Face(texture, first, 4, -1));
    Level.LeafFaces.push_back(static_cast<std::int32_t>(Level.Faces.size()) - 1);
  }

  // One fog volume: the brush of the six planes given (+x, -x, +y, -y, +z, -z, as the level's only
  // planes), its sides of texture `sideTexture`, its fog named "t/fog".
  void FogBox(const std::array<TBSPPlane, 6>& planes, std::int32_t sideTexture) {
    Level.Planes.assign(planes.begin(), planes.end());
    TBytes fogs, brushes, sides;
    const auto append = [](TBytes& bytes, const auto& record) {
      const auto* p = reinterpret_cast<const std::uint8_t*>(&record);
      bytes.insert(bytes.end(), p, p + sizeof record);
    };
    char name[64] = "t/fog";
    append(fogs, name);
    append(fogs, std::array<std::int32_t, 2>{0, 0});
    append(brushes, std::array<std::int32_t, 3>{0, 6, sideTexture});
    for (std::int32_t p = 0; p < 6; ++p) append(sides, std::array<std::int32_t, 2>{p, sideTexture});
    Level.SetRawLump(kEffects, fogs);
    Level.SetRawLump(kBrushes, brushes);
    Level.SetRawLump(kBrushSides, sides);
  }

  // Writes the level, makes the context and loads the level with --shaders and what `set` adds.
  void Load(const std::function<void(TLevelOptions&)>& set) {
    Level.Leaves = {TBspWriter::Leaf(0, 0, static_cast<std::int32_t>(Level.Faces.size())), TBspWriter::Leaf(1, 0, 0)};
    Level.WriteTo(Folder / "maps/test.bsp");
    Context = std::make_unique<platform::TOffscreenGLContext>(kSceneSize, kSceneSize);
    LoadOpenGL("opengl32.dll");
    WorkingDir = std::make_unique<TScopedWorkingDir>(Folder.Path());
    app::SetFixedGLState();
    TLevelOptions options;
    options.Shaders = true;
    options.ShaderSource = shaders::BaseFolderSource();
    set(options);
    ASSERT_TRUE(Loaded.LoadBSP("maps/test.bsp", options));
  }

  // One --shaders frame from the eye, turned by yaw and looking level, read back into Pixels.
  void DrawFrom(TVector eye, float yaw, double seconds, bool fast) {
    app::BeginFrameView(kSceneSize, kSceneSize, TCamera{eye.X, eye.Y, eye.Z, yaw, 270});
    TRenderOptions render;
    render.Shaders = true;
    render.Time = seconds;
    render.Fast = fast;
    Loaded.RenderLevel(eye, render, Cache);
    glPopMatrix();
    Pixels.resize(kSceneSize * kSceneSize * 4);
    glReadPixels(0, 0, kSceneSize, kSceneSize, GL_RGBA, GL_UNSIGNED_BYTE, Pixels.data());
  }
  std::array<int, 3> At(int x, int y) const {  // y from the top
    const std::size_t i = static_cast<std::size_t>(((kSceneSize - 1 - y) * kSceneSize + x) * 4);
    return {Pixels[i], Pixels[i + 1], Pixels[i + 2]};
  }

  TTempDir Folder;
  TBspWriter Level;
  TQuake3BSP Loaded;
  TRenderCache Cache;
  std::vector<std::uint8_t> Pixels;

 private:
  std::unique_ptr<platform::TOffscreenGLContext> Context;
  std::unique_ptr<TScopedWorkingDir> WorkingDir;
};

}  // namespace testsupport
