#pragma once
// A glTF file of the export read back for the tests: the JSON and the binary buffer of a .glb (or
// of a .gltf and its .bin), and the values of an accessor.
#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace testsupport {

struct TGltfFile {
  nlohmann::json Json;
  std::vector<std::uint8_t> Buffer;

  // The accessor's values, as T (float or std::uint32_t), tightly packed.
  template <class T>
  std::vector<T> Values(int accessor) const {
    const nlohmann::json& a = Json["accessors"][accessor];
    const nlohmann::json& view = Json["bufferViews"][a["bufferView"].get<int>()];
    const std::size_t components = a["type"] == "SCALAR" ? 1 : a["type"] == "VEC2" ? 2 : 3;
    std::vector<T> values(a["count"].get<std::size_t>() * components);
    std::memcpy(values.data(), Buffer.data() + view.value("byteOffset", std::size_t{0}) + a.value("byteOffset", std::size_t{0}),
                values.size() * sizeof(T));
    return values;
  }
  // The bytes of an image stored in the buffer.
  std::vector<std::uint8_t> ImageBytes(int image) const {
    const nlohmann::json& view = Json["bufferViews"][Json["images"][image]["bufferView"].get<int>()];
    const auto first = Buffer.begin() + view.value("byteOffset", std::ptrdiff_t{0});
    return {first, first + view["byteLength"].get<std::ptrdiff_t>()};
  }
};

// Reads a .glb (header, JSON chunk, BIN chunk) or a .gltf with its buffer file.
inline TGltfFile ReadGltf(const std::string& path) {
  TGltfFile file;
  const std::vector<std::uint8_t> bytes = ReadFile(path);
  if (path.ends_with(".gltf")) {
    file.Json = nlohmann::json::parse(bytes.begin(), bytes.end());
    file.Buffer = ReadFile((std::filesystem::path(path).parent_path() / file.Json["buffers"][0]["uri"].get<std::string>()).string());
    return file;
  }
  std::uint32_t jsonLength = 0, binLength = 0;
  if (bytes.size() < 20 || std::memcmp(bytes.data(), "glTF", 4) != 0) return file;
  std::memcpy(&jsonLength, &bytes[12], 4);
  file.Json = nlohmann::json::parse(bytes.begin() + 20, bytes.begin() + 20 + jsonLength);
  const std::size_t bin = 20 + jsonLength;
  if (bytes.size() >= bin + 8) {
    std::memcpy(&binLength, &bytes[bin], 4);
    file.Buffer.assign(bytes.begin() + static_cast<std::ptrdiff_t>(bin + 8),
                       bytes.begin() + static_cast<std::ptrdiff_t>(bin + 8 + binLength));
  }
  return file;
}

}  // namespace testsupport
