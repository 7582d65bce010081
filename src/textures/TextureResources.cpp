#include "textures/TextureResources.h"

#include <algorithm>
#include <cctype>
#include <memory>

#include "platform/Messages.h"

namespace textures {

// Generated from font.tga at build time (see src/CMakeLists.txt).
extern const unsigned char BuiltInFontTGA[];
extern const std::size_t BuiltInFontTGASize;

namespace {

struct TImageResource {
  std::string Type;
  std::string Name;
  std::vector<std::uint8_t> Bytes;
};

struct TBuiltInResource {
  const char* Type;
  const char* Name;
  std::span<const std::uint8_t> Bytes;
};

const TBuiltInResource BuiltIn[] = {
    {"TGA", "font", {BuiltInFontTGA, BuiltInFontTGASize}},
};

// The resources tests register.
std::vector<std::unique_ptr<TImageResource>>& Table() {
  static std::vector<std::unique_ptr<TImageResource>> table;
  return table;
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) ==
                  std::toupper(static_cast<unsigned char>(y));
         });
}

}  // namespace

std::string ResourceNameOf(const std::string& imageFileName) {
  const std::size_t dot = imageFileName.find('.');
  return dot == std::string::npos ? std::string() : imageFileName.substr(0, dot);
}

std::optional<std::span<const std::uint8_t>> FindImageResource(const std::string& type,
                                                               const std::string& name) {
  if (name.empty()) return std::nullopt;
  for (const auto& resource : Table())
    if (SameIgnoringCase(resource->Type, type) && SameIgnoringCase(resource->Name, name))
      return std::span<const std::uint8_t>(resource->Bytes);
  for (const TBuiltInResource& resource : BuiltIn)
    if (SameIgnoringCase(resource.Type, type) && SameIgnoringCase(resource.Name, name)) return resource.Bytes;
  return std::nullopt;
}

void RegisterImageResource(const std::string& type, const std::string& name,
                           std::vector<std::uint8_t> bytes) {
  auto& table = Table();
  std::erase_if(table, [&](const auto& r) {
    return SameIgnoringCase(r->Type, type) && SameIgnoringCase(r->Name, name);
  });
  table.push_back(std::make_unique<TImageResource>(TImageResource{type, name, std::move(bytes)}));
}

void ClearRegisteredImageResources() { Table().clear(); }

std::optional<std::span<const std::uint8_t>> OpenImageResource(const std::string& type,
                                                               const std::string& imageFileName,
                                                               const std::string& notFoundCaption) {
  auto resource = FindImageResource(type, ResourceNameOf(imageFileName));
  if (!resource)
    platform::ShowMessage("File not found in resource - " + imageFileName, notFoundCaption);
  return resource;
}

}  // namespace textures
