#include "app/runs/GltfWriter.h"

#include <nlohmann/json.hpp>
#include <tiny_gltf.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <span>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <system_error>

#include "app/runs/Json.h"
#include "app/runs/Limits.h"
#include "platform/AtomicFile.h"

namespace app {
namespace {

namespace fs = std::filesystem;

std::string LowerTail(const std::string& text, std::size_t count) {
  std::string tail = text.size() >= count ? text.substr(text.size() - count) : text;
  std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return std::tolower(c); });
  return tail;
}

bool IsBinaryName(const std::string& path) { return LowerTail(path, 4) == ".glb"; }

float Finite(float value) { return std::isfinite(value) ? value : 0.0f; }

// A file name as a relative URI: everything but unreserved characters percent-encoded.
std::string UriOf(const std::string& name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string uri;
  for (const unsigned char c : name) {
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
      uri += static_cast<char>(c);
    } else {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 15];
    }
  }
  return uri;
}

// A stream over the temporary file of a TAtomicFile, for tinygltf's writer.
class TFileStreamBuffer : public std::streambuf {
 public:
  explicit TFileStreamBuffer(std::FILE* file) : File(file) {}

 protected:
  std::streamsize xsputn(const char* data, std::streamsize count) override {
    return static_cast<std::streamsize>(std::fwrite(data, 1, static_cast<std::size_t>(count), File));
  }
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    return std::fputc(c, File) == EOF ? traits_type::eof() : c;
  }

 private:
  std::FILE* File;
};

// The model under construction: one buffer that every view points into.
class TBuilder {
 public:
  explicit TBuilder(tinygltf::Model& model) : Model(model) { Model.buffers.resize(1); }

  // Room for everything the buffer will hold, so that it never moves while it grows.
  void Reserve(const TGltfScene& scene) {
    std::size_t bytes = 0;
    for (const TExportMesh& mesh : scene.Meshes)
      for (const TExportPrimitive& p : mesh.Primitives)
        bytes += 4 * (p.Positions.size() + p.Normals.size() + p.TexCoords.size() + p.LightmapCoords.size() +
                      p.Indices.size()) + p.Colours.size() + 24;
    for (const std::vector<TEncodedImage>* images : {&scene.Images, &scene.Atlases})
      for (const TEncodedImage& image : *images) bytes += image.Bytes.size() + 4;
    for (const TGltfItemModel& model : scene.ItemModels)
      for (const TExportPrimitive& p : model.Surfaces)
        bytes += 4 * (p.Positions.size() + p.Normals.size() + p.TexCoords.size() + p.Indices.size()) + 16;
    for (const TGltfItem& item : scene.Items)
      for (const std::vector<std::uint8_t>& colours : item.Colours) bytes += colours.size() + 4;
    Model.buffers[0].data.reserve(bytes);
  }

  // A view of the bytes at the end of the buffer (4-byte aligned); its index.
  int View(const void* data, std::size_t size, int target) {
    std::vector<unsigned char>& bytes = Model.buffers[0].data;
    bytes.resize((bytes.size() + 3) / 4 * 4);
    tinygltf::BufferView view;
    view.buffer = 0;
    view.byteOffset = bytes.size();
    view.byteLength = size;
    view.target = target;
    const auto* first = static_cast<const unsigned char*>(data);
    bytes.insert(bytes.end(), first, first + size);
    Model.bufferViews.push_back(view);
    return static_cast<int>(Model.bufferViews.size() - 1);
  }

  template <class T>
  int Accessor(const std::vector<T>& values, int components, int type, int componentType, int target) {
    tinygltf::Accessor accessor;
    accessor.bufferView = View(values.data(), values.size() * sizeof(T), target);
    accessor.componentType = componentType;
    accessor.count = values.size() / static_cast<std::size_t>(components);
    accessor.type = type;
    Model.accessors.push_back(accessor);
    return static_cast<int>(Model.accessors.size() - 1);
  }

  tinygltf::Primitive Primitive(TExportPrimitive& source) {
    tinygltf::Primitive primitive;
    primitive.mode = TINYGLTF_MODE_TRIANGLES;
    primitive.material = source.Material;
    constexpr int kFloat = TINYGLTF_COMPONENT_TYPE_FLOAT, kArray = TINYGLTF_TARGET_ARRAY_BUFFER;
    const int position = Accessor(source.Positions, 3, TINYGLTF_TYPE_VEC3, kFloat, kArray);
    Model.accessors[static_cast<std::size_t>(position)].minValues.assign(source.Min.begin(), source.Min.end());
    Model.accessors[static_cast<std::size_t>(position)].maxValues.assign(source.Max.begin(), source.Max.end());
    primitive.attributes["POSITION"] = position;
    primitive.attributes["NORMAL"] = Accessor(source.Normals, 3, TINYGLTF_TYPE_VEC3, kFloat, kArray);
    primitive.attributes["TEXCOORD_0"] = Accessor(source.TexCoords, 2, TINYGLTF_TYPE_VEC2, kFloat, kArray);
    if (!source.LightmapCoords.empty())
      primitive.attributes["TEXCOORD_1"] = Accessor(source.LightmapCoords, 2, TINYGLTF_TYPE_VEC2, kFloat, kArray);
    if (!source.Colours.empty()) {
      const int colours = Accessor(source.Colours, 4, TINYGLTF_TYPE_VEC4, TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE, kArray);
      Model.accessors[static_cast<std::size_t>(colours)].normalized = true;
      primitive.attributes["COLOR_0"] = colours;
    }
    primitive.indices = Accessor(source.Indices, 1, TINYGLTF_TYPE_SCALAR,
                                 TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT, TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
    source = TExportPrimitive{};  // its arrays are in the buffer now
    return primitive;
  }

  // A surface that many nodes show: its accessors written once, a primitive without colours that
  // each item's own mesh copies.
  tinygltf::Primitive SharedPrimitive(TExportPrimitive& source) {
    std::vector<std::uint8_t> noColours;
    std::swap(noColours, source.Colours);
    return Primitive(source);
  }

  // The shared primitive with the item's own colours.
  tinygltf::Primitive Coloured(tinygltf::Primitive primitive, const std::vector<std::uint8_t>& colours) {
    const int accessor = Accessor(colours, 4, TINYGLTF_TYPE_VEC4, TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE,
                                  TINYGLTF_TARGET_ARRAY_BUFFER);
    Model.accessors[static_cast<std::size_t>(accessor)].normalized = true;
    primitive.attributes["COLOR_0"] = accessor;
    return primitive;
  }

  // An image, in the buffer (binary glTF) or as a file of its own named by `uri`.
  void Image(const TEncodedImage& source, const std::string& name, const std::string& uri) {
    tinygltf::Image image;
    image.name = Latin1ToUtf8(name);
    image.mimeType = source.MimeType;
    if (uri.empty())
      image.bufferView = View(source.Bytes.data(), source.Bytes.size(), 0);
    else
      image.uri = uri;
    Model.images.push_back(image);
    tinygltf::Texture texture;
    texture.source = static_cast<int>(Model.images.size() - 1);
    Model.textures.push_back(texture);
  }

 private:
  tinygltf::Model& Model;
};

tinygltf::Value Numbers(std::span<const float> values) {
  tinygltf::Value::Array array;
  for (const float v : values) array.emplace_back(static_cast<double>(Finite(v)));
  return tinygltf::Value(std::move(array));
}

tinygltf::Value StagesValue(const std::vector<TGltfStage>& stages) {
  tinygltf::Value::Array array;
  for (const TGltfStage& stage : stages) {
    tinygltf::Value::Object object{{"matrix", Numbers(stage.Matrix)}, {"colour", Numbers(stage.Colour)}};
    if (stage.Image >= 0) object.emplace("texture", tinygltf::Value(stage.Image));
    if (stage.Lightmap) object.emplace("lightmap", tinygltf::Value(true));
    if (stage.Environment) object.emplace("environment", tinygltf::Value(true));
    if (stage.Clamp) object.emplace("clamp", tinygltf::Value(true));
    if (!stage.BlendFunc.empty()) object.emplace("blendFunc", tinygltf::Value(stage.BlendFunc));
    array.emplace_back(std::move(object));
  }
  return tinygltf::Value(std::move(array));
}

tinygltf::Material Material(const TGltfMaterial& source, int atlasTextures) {
  tinygltf::Material material;
  material.name = Latin1ToUtf8(source.Name);
  material.alphaMode = source.AlphaMode;
  if (source.AlphaMode == "MASK") material.alphaCutoff = source.AlphaCutoff;
  material.doubleSided = source.DoubleSided;
  // Surfaces that reflect nothing: what a PBR viewer shows is the image (and the lightmap, where
  // it is applied).
  material.pbrMetallicRoughness.baseColorFactor = {1.0, 1.0, 1.0, 1.0};
  material.pbrMetallicRoughness.metallicFactor = 0.0;
  material.pbrMetallicRoughness.roughnessFactor = 1.0;
  if (source.Image >= 0) material.pbrMetallicRoughness.baseColorTexture.index = source.Image;
  tinygltf::Value::Object extras;
  if (source.Atlas >= 0) {
    tinygltf::Value::Object lightmap{{"index", tinygltf::Value(atlasTextures + source.Atlas)},
                                     {"texCoord", tinygltf::Value(1)}};
    extras.emplace("lightmapTexture", tinygltf::Value(lightmap));
  }
  for (const auto& [key, value] : source.Notes) extras.emplace(key, tinygltf::Value(Latin1ToUtf8(value)));
  if (!source.Stages.empty()) extras.emplace("stages", StagesValue(source.Stages));
  if (!extras.empty()) material.extras = tinygltf::Value(std::move(extras));
  return material;
}

void AddSamplers(tinygltf::Model& model, const std::vector<TEncodedImage>& surfaceImages) {
  // Surface images repeat and are mipmapped, as the viewer draws them; an atlas is not, so that no
  // lightmap takes colour from its neighbours; the sky box's sides are clamped, so that they meet
  // without a seam of the opposite edge's texels.
  tinygltf::Sampler surfaces, atlases;
  surfaces.magFilter = TINYGLTF_TEXTURE_FILTER_LINEAR;
  surfaces.minFilter = TINYGLTF_TEXTURE_FILTER_LINEAR_MIPMAP_LINEAR;
  atlases.magFilter = atlases.minFilter = TINYGLTF_TEXTURE_FILTER_LINEAR;
  atlases.wrapS = atlases.wrapT = TINYGLTF_TEXTURE_WRAP_CLAMP_TO_EDGE;
  model.samplers = {surfaces, atlases};
  const bool clamped = std::any_of(surfaceImages.begin(), surfaceImages.end(), [](const TEncodedImage& i) { return i.Clamp; });
  if (clamped) {
    tinygltf::Sampler sides = surfaces;
    sides.wrapS = sides.wrapT = TINYGLTF_TEXTURE_WRAP_CLAMP_TO_EDGE;
    model.samplers.push_back(sides);
  }
  for (std::size_t t = 0; t < model.textures.size(); ++t)
    model.textures[t].sampler = t >= surfaceImages.size() ? 1 : surfaceImages[t].Clamp ? 2 : 0;
}

// A spawn point as an empty node: at its origin, turned about the up axis so that its -Z (where a
// glTF camera looks) points the way the spawn point faces.
tinygltf::Node SpawnNode(const TSpawnPoint& spawn, float scale) {
  tinygltf::Node node;
  node.name = Latin1ToUtf8(spawn.ClassName);
  const std::array<float, 3> at = GltfPoint(spawn.Origin, scale);
  node.translation = {at[0], at[1], at[2]};
  const double half = (static_cast<double>(spawn.Angle) - 90.0) * 3.14159265358979323846 / 360.0;
  if (std::isfinite(half)) node.rotation = {0.0, std::sin(half), 0.0, std::cos(half)};
  node.extras = tinygltf::Value(tinygltf::Value::Object{
      {"classname", tinygltf::Value(Latin1ToUtf8(spawn.ClassName))},
      {"origin", tinygltf::Value(tinygltf::Value::Array{tinygltf::Value(static_cast<double>(Finite(spawn.Origin.X))),
                                                         tinygltf::Value(static_cast<double>(Finite(spawn.Origin.Y))),
                                                         tinygltf::Value(static_cast<double>(Finite(spawn.Origin.Z)))})},
      {"angle", tinygltf::Value(static_cast<double>(Finite(spawn.Angle)))}});
  return node;
}

// Each item as a node of its own, its mesh made of its models' surfaces (written once each) with
// its own colours.
void AddItems(TGltfScene& scene, TBuilder& builder, tinygltf::Model& model, tinygltf::Scene& root) {
  std::vector<std::vector<tinygltf::Primitive>> shared;
  for (TGltfItemModel& source : scene.ItemModels) {
    shared.emplace_back();
    for (TExportPrimitive& surface : source.Surfaces) shared.back().push_back(builder.SharedPrimitive(surface));
  }
  for (const TGltfItem& item : scene.Items) {
    tinygltf::Mesh mesh;
    mesh.name = Latin1ToUtf8(item.ClassName);
    std::size_t colours = 0;
    for (const std::int32_t m : item.Models)
      for (const tinygltf::Primitive& primitive : shared[static_cast<std::size_t>(m)])
        if (colours < item.Colours.size()) mesh.primitives.push_back(builder.Coloured(primitive, item.Colours[colours++]));
    tinygltf::Node node;
    node.name = Latin1ToUtf8(item.ClassName);
    node.translation = {item.Translation[0], item.Translation[1], item.Translation[2]};
    node.rotation = {item.Rotation[0], item.Rotation[1], item.Rotation[2], item.Rotation[3]};
    node.extras = tinygltf::Value(tinygltf::Value::Object{
        {"classname", tinygltf::Value(Latin1ToUtf8(item.ClassName))},
        {"entity", tinygltf::Value(item.Entity)},
        {"place", tinygltf::Value(tinygltf::Value::Array{tinygltf::Value(static_cast<double>(item.Place[0])),
                                                        tinygltf::Value(static_cast<double>(item.Place[1])),
                                                        tinygltf::Value(static_cast<double>(item.Place[2]))})}});
    if (!mesh.primitives.empty()) {
      model.meshes.push_back(std::move(mesh));
      node.mesh = static_cast<int>(model.meshes.size() - 1);
    }
    model.nodes.push_back(std::move(node));
    root.nodes.push_back(static_cast<int>(model.nodes.size() - 1));
  }
  scene.ItemModels.clear();
}

// The images' names in the file (their file names) and, for a .gltf, the side files they go to.
struct TSideFile {
  std::string Path;
  const std::vector<std::uint8_t>* Bytes;
};

// The whole model; a .gltf's images are named as files beside it (in `sideFiles`), a .glb's are
// in its buffer.
tinygltf::Model BuildModel(TGltfScene& scene, const fs::path& gltfPath, std::vector<TSideFile>& sideFiles) {
  tinygltf::Model model;
  model.asset.version = "2.0";
  model.asset.generator = scene.Generator;
  model.asset.extras = tinygltf::Value(tinygltf::Value::Object{{"level", tinygltf::Value(scene.LevelName)}});
  TBuilder builder(model);
  builder.Reserve(scene);
  const bool sideImages = !gltfPath.empty();
  const std::string stem = gltfPath.stem().string();
  std::size_t number = 0;
  for (const std::vector<TEncodedImage>* images : {&scene.Images, &scene.Atlases})
    for (const TEncodedImage& image : *images) {
      const std::string file = stem + "_" + std::to_string(number++) +
                               (image.MimeType == "image/jpeg" ? ".jpg" : ".png");
      builder.Image(image, image.Name, sideImages ? UriOf(file) : "");
      if (sideImages) sideFiles.push_back({(gltfPath.parent_path() / file).string(), &image.Bytes});
    }
  AddSamplers(model, scene.Images);
  for (const TGltfMaterial& material : scene.Materials)
    model.materials.push_back(Material(material, static_cast<int>(scene.Images.size())));
  tinygltf::Scene root;
  root.name = scene.LevelName;
  for (TExportMesh& source : scene.Meshes) {
    tinygltf::Node node;
    node.name = Latin1ToUtf8(source.Name);
    if (source.Translation != std::array<float, 3>{})
      node.translation = {source.Translation[0], source.Translation[1], source.Translation[2]};
    if (!source.Primitives.empty()) {
      tinygltf::Mesh mesh;
      mesh.name = Latin1ToUtf8(source.Name);
      for (TExportPrimitive& primitive : source.Primitives) mesh.primitives.push_back(builder.Primitive(primitive));
      model.meshes.push_back(std::move(mesh));
      node.mesh = static_cast<int>(model.meshes.size() - 1);
    }
    model.nodes.push_back(std::move(node));
    root.nodes.push_back(static_cast<int>(model.nodes.size() - 1));
  }
  scene.Meshes.clear();
  AddItems(scene, builder, model, root);
  for (const TSpawnPoint& spawn : scene.Spawns) {
    model.nodes.push_back(SpawnNode(spawn, scene.Scale));
    root.nodes.push_back(static_cast<int>(model.nodes.size() - 1));
  }
  model.scenes.push_back(root);
  model.defaultScene = 0;
  // A glTF buffer may not be empty: a level with nothing drawn exports its nodes without one.
  if (!model.buffers.empty() && model.buffers[0].data.empty()) model.buffers.clear();
  return model;
}

// The model through tinygltf's writer into a file put in place when whole; its size.
std::uint64_t WriteModel(tinygltf::Model& model, const std::string& path, bool binary) {
  platform::TAtomicFile file(path);
  TFileStreamBuffer buffer(file.Stream());
  std::ostream out(&buffer);
  tinygltf::TinyGLTF writer;
  // Images are already encoded: nothing is to be written or embedded by the library's own writer.
  writer.SetImageWriter(nullptr, nullptr);
  if (!writer.WriteGltfSceneToStream(&model, out, !binary, binary) || !out.flush())
    throw std::system_error(std::make_error_code(std::errc::io_error));
  file.Commit();
  return fs::file_size(path);
}


// An earlier export of ours: a .glb's header, or a JSON object holding an "asset" key wherever
// it stands (the writer puts it after the accessors, far past the first page of a large level).
bool IsGltfFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::string chunk(1 << 16, '\0');
  std::string carried;  // the end of the previous chunk, for a key split between two
  bool first = true;
  while (file.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || file.gcount() > 0) {
    std::string text = carried + chunk.substr(0, static_cast<std::size_t>(file.gcount()));
    if (first) {
      if (text.starts_with("glTF")) return true;
      const std::size_t at = text.find_first_not_of(" \t\r\n");
      if (at == std::string::npos || text[at] != '{') return false;
      first = false;
    }
    if (text.find("\"asset\"") != std::string::npos) return true;
    carried = text.substr(text.size() - std::min<std::size_t>(text.size(), 6));
  }
  return false;
}

}  // namespace

bool IsGltfName(const std::string& path) {
  return LowerTail(path, 4) == ".glb" || LowerTail(path, 5) == ".gltf";
}

bool MayWriteGltf(const std::string& path, std::ostream& err) {
  return MayReplaceOutput(path, err, IsGltfFile, "a glTF file");
}

std::string GltfBinary(TGltfScene& scene) {
  std::vector<TSideFile> sideFiles;
  tinygltf::Model model = BuildModel(scene, fs::path(), sideFiles);
  std::ostringstream out;
  tinygltf::TinyGLTF writer;
  writer.SetImageWriter(nullptr, nullptr);
  if (!writer.WriteGltfSceneToStream(&model, out, false, true)) throw std::runtime_error("cannot write the level's glTF");
  return std::move(out).str();
}

std::uint64_t WriteGltf(TGltfScene& scene, const std::string& path) {
  const bool binary = IsBinaryName(path);
  std::vector<TSideFile> sideFiles;
  tinygltf::Model model = BuildModel(scene, binary ? fs::path() : fs::path(path), sideFiles);
  try {
    if (binary) return WriteModel(model, path, true);
    const fs::path gltfPath(path);
    const fs::path binPath = gltfPath.parent_path() / (gltfPath.stem().string() + ".bin");
    // Side files of a new .gltf never replace a file that is already there; those of an earlier
    // export (the .gltf is there) are its own.
    std::error_code ec;
    if (!fs::exists(gltfPath, ec)) {
      std::vector<std::string> taken{binPath.string()};
      for (const TSideFile& side : sideFiles) taken.push_back(side.Path);
      for (const std::string& side : taken)
        if (fs::exists(fs::symlink_status(side, ec)))
          throw std::runtime_error(side + " exists beside the new " + path + "; it is left as it is");
    }
    const std::vector<unsigned char> bin = model.buffers.empty() ? std::vector<unsigned char>() : std::move(model.buffers[0].data);
    if (!model.buffers.empty()) model.buffers[0].data.clear();
    // The buffer named as its file: tinygltf's stream writer would embed it as text.
    std::ostringstream text;
    tinygltf::TinyGLTF writer;
    writer.SetImageWriter(nullptr, nullptr);
    writer.WriteGltfSceneToStream(&model, text, true, false);
    nlohmann::json json = nlohmann::json::parse(text.str());
    if (!bin.empty()) json["buffers"][0] = {{"byteLength", bin.size()}, {"uri", UriOf(binPath.filename().string())}};
    const std::string document = json.dump(2) + "\n";
    // The .gltf and its side files are one output: all replace an earlier export's, or none does.
    std::vector<platform::TFileBytes> files;
    if (!bin.empty()) files.push_back({binPath.string(), bin});
    std::uint64_t total = bin.size();
    for (const TSideFile& side : sideFiles) {
      files.push_back({side.Path, *side.Bytes});
      total += side.Bytes->size();
    }
    files.push_back({path, std::span(reinterpret_cast<const std::uint8_t*>(document.data()), document.size())});
    platform::WriteFilesTogether(files);
    return total + document.size();
  } catch (const std::system_error& e) {
    throw std::runtime_error("cannot write " + path + ": " + e.code().message());
  }
}

}  // namespace app
