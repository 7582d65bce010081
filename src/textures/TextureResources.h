#pragma once
// Images compiled into the program, found by resource type ("BMP", "JPEG", "TGA") and resource
// name, both without regard to letter case, as the loaders' resource mode looks them up. The
// program ships one, its font ("TGA", "font": the bytes of font.tga, compiled in at build time);
// tests register their own.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace textures {

// The resource name of an image file name: everything before its first '.' ("font.tga" gives
// "font", "maps\a.b\c.tga" gives "maps\a"); a name without '.' gives "", which is never found.
std::string ResourceNameOf(const std::string& imageFileName);

// The bytes of the resource, or nothing when no resource of that type and name exists. A
// registered resource goes before a built-in one of the same type and name.
std::optional<std::span<const std::uint8_t>> FindImageResource(const std::string& type,
                                                               const std::string& name);

// The resource-mode lookup the three loaders share: the resource of that type named after the
// image file, or, when there is none, "File not found in resource - " + the file name shown with
// the loader's caption and nothing returned.
std::optional<std::span<const std::uint8_t>> OpenImageResource(const std::string& type,
                                                               const std::string& imageFileName,
                                                               const std::string& notFoundCaption);

// Adds (or replaces) a resource. For tests: the program's own table is fixed at build time.
void RegisterImageResource(const std::string& type, const std::string& name,
                           std::vector<std::uint8_t> bytes);

// Removes every resource added with RegisterImageResource; the built-in ones stay.
void ClearRegisteredImageResources();

}  // namespace textures
