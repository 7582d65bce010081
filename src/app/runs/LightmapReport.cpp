#include "app/runs/LightmapReport.h"

#include <algorithm>
#include <cmath>

#include "level/LightmapFiles.h"
#include "level/Q3BSP_lightmaps.h"
#include "platform/Files.h"
#include "textures/PixelBudget.h"
#include "textures/TopFirstPicture.h"

namespace app {
namespace {

std::string SizeText(const TLightmapFile& file) {
  return std::to_string(file.Width) + " x " + std::to_string(file.Height);
}

std::string FileName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// The usable files, smallest first by pixel count.
std::vector<TLightmapFile> UsableSizes(const TLightmapReport& report) {
  std::vector<TLightmapFile> sizes;
  for (const TLightmapFile& file : report.Files)
    if (file.Width > 0) sizes.push_back(file);
  std::stable_sort(sizes.begin(), sizes.end(), [](const TLightmapFile& a, const TLightmapFile& b) {
    return std::int64_t{a.Width} * a.Height < std::int64_t{b.Width} * b.Height;
  });
  return sizes;
}

bool AllOneSize(const std::vector<TLightmapFile>& sizes) {
  return std::all_of(sizes.begin(), sizes.end(), [&](const TLightmapFile& file) {
    return file.Width == sizes.front().Width && file.Height == sizes.front().Height;
  });
}

textures::TTopFirstPicture DecodeLightmapFile(const std::string& name) {
  const std::optional<std::vector<std::uint8_t>> bytes = platform::ReadWholeFile(name);
  if (bytes) return textures::DecodeTopFirstRGB(*bytes, name, textures::kLargestImageSide);
  textures::TTopFirstPicture unread;
  unread.Error = "cannot be read";
  return unread;
}

// The picture at width x height: each texel the bilinear mean of the picture's four texels nearest
// its centre, the edges clamped.
std::vector<std::uint8_t> Scaled(const textures::TTopFirstPicture& from, std::int32_t width, std::int32_t height) {
  // The taps of each column and row are found once: a page may be 4096 a side.
  struct TTap {
    std::size_t Near, Far;
    double Weight;
  };
  const auto taps = [](std::int32_t count, std::uint32_t fromCount) {
    std::vector<TTap> list(static_cast<std::size_t>(count));
    const double last = fromCount - 1.0;
    for (std::int32_t i = 0; i < count; ++i) {
      const double at = (i + 0.5) * fromCount / count - 0.5, first = std::floor(at);
      list[static_cast<std::size_t>(i)] = {static_cast<std::size_t>(std::clamp(first, 0.0, last)),
                                           static_cast<std::size_t>(std::clamp(first + 1, 0.0, last)), at - first};
    }
    return list;
  };
  const std::vector<TTap> columns = taps(width, from.Width), rows = taps(height, from.Height);
  std::vector<std::uint8_t> out(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
  const auto texel = [&](std::size_t x, std::size_t y, std::size_t c) {
    return static_cast<double>(from.Rgb[(y * from.Width + x) * 3 + c]);
  };
  std::size_t i = 0;
  for (const TTap& row : rows) {
    const double fy = row.Weight;
    for (const TTap& column : columns) {
      const double fx = column.Weight;
      for (std::size_t c = 0; c < 3; ++c, ++i) {
        const double top = texel(column.Near, row.Near, c) * (1 - fx) + texel(column.Far, row.Near, c) * fx;
        const double bottom = texel(column.Near, row.Far, c) * (1 - fx) + texel(column.Far, row.Far, c) * fx;
        out[i] = static_cast<std::uint8_t>(top * (1 - fy) + bottom * fy + 0.5);
      }
    }
  }
  return out;
}

}  // namespace

std::string LightmapFolderFor(const TRunOptions& options) {
  const std::string& folder = options.LevelOptions.LightmapFolder;
  return folder.empty() ? LightmapFolderOf(options.LevelPath) : folder;
}

TLightmapFilePages ReadLightmapFilePages(const TBSPFile& records, const std::string& folder) {
  TLightmapFilePages result;
  const TLightmapFileList list =
      FindLightmapFiles(folder, records.Faces, [](const std::string& name) { return platform::FileExists(name); });
  std::vector<textures::TTopFirstPicture> pictures;
  std::uint32_t width = 0, height = 0;
  for (std::size_t m = 0; m < list.Names.size(); ++m) {
    textures::TTopFirstPicture& picture = pictures.emplace_back(DecodeLightmapFile(list.Names[m]));
    if (!picture.Ok()) {
      result.Warnings.push_back(list.Names[m] + ": " + picture.Error + "; the faces of lightmap " + std::to_string(m) +
                                " are exported without lightmap");
      continue;
    }
    width = std::max(width, picture.Width);
    height = std::max(height, picture.Height);
  }
  if (!list.Warning.empty()) result.Warnings.push_back(list.Warning);
  if (width > 0) {
    result.Width = static_cast<std::int32_t>(std::min<std::uint32_t>(width, kLargestAtlasSide));
    result.Height = static_cast<std::int32_t>(std::min<std::uint32_t>(height, kLargestAtlasSide));
  }
  const std::size_t pageBytes = static_cast<std::size_t>(result.Width) * static_cast<std::size_t>(result.Height) * 3;
  for (std::size_t m = 0; m < pictures.size(); ++m) {
    textures::TTopFirstPicture& picture = pictures[m];
    const bool sameSize = std::cmp_equal(picture.Width, result.Width) && std::cmp_equal(picture.Height, result.Height);
    if (!picture.Ok() || (!sameSize && !textures::ChargePixels(pageBytes, list.Names[m]))) {
      result.Slots.push_back(-1);
      picture = {};
      continue;
    }
    result.Slots.push_back(static_cast<std::int32_t>(result.Pages.size()));
    TLightmapPage& page = result.Pages.emplace_back(TLightmapPage{result.Width, result.Height, {}});
    page.Rgb = sameSize ? std::move(picture.Rgb) : Scaled(picture, page.Width, page.Height);
    picture = {};
    BrightenLightmap(page.Rgb);
  }
  return result;
}

TLightmapReport GatherLightmapReport(const TBSPFile& records, const std::string& folder) {
  TLightmapReport report;
  report.LumpCount = static_cast<std::int32_t>(records.Lightmaps.size());
  report.Count = report.LumpCount;
  if (!WantsLightmapFiles(records.Lightmaps.size(), records.Faces)) return report;
  report.FromFiles = true;
  const TLightmapFileList list =
      FindLightmapFiles(folder, records.Faces, [](const std::string& name) { return platform::FileExists(name); });
  report.Count = static_cast<std::int32_t>(list.Names.size());
  for (const std::string& name : list.Names) {
    TLightmapFile file{name};
    const textures::TTopFirstPicture picture = DecodeLightmapFile(name);
    if (picture.Ok()) {
      file.Width = static_cast<std::int32_t>(picture.Width);
      file.Height = static_cast<std::int32_t>(picture.Height);
    } else {
      report.Warnings.push_back(name + ": " + picture.Error);
    }
    report.Files.push_back(std::move(file));
  }
  if (!list.Warning.empty()) report.Warnings.push_back(list.Warning);
  return report;
}

std::string LightmapReportText(const TLightmapReport& report) {
  std::string text = std::to_string(report.Count);
  if (!report.FromFiles) return text + " from the lump" + (report.Count > 0 ? ", 128 x 128" : "");
  text += " from files";
  if (!report.Files.empty())
    text += " " + report.Files.front().Name +
            (report.Files.size() > 1 ? " to " + FileName(report.Files.back().Name) : "");
  const std::vector<TLightmapFile> sizes = UsableSizes(report);
  if (!sizes.empty())
    text += AllOneSize(sizes) ? ", " + SizeText(sizes.front())
                : ", sizes " + SizeText(sizes.front()) + " to " + SizeText(sizes.back());
  const std::size_t unusable = report.Files.size() - sizes.size();
  if (unusable > 0) text += ", " + std::to_string(unusable) + " unusable";
  return text;
}

void AddLightmapReport(TJson& out, const TLightmapReport& report) {
  out["LightmapCount"] = report.Count;
  out["LightmapSource"] = report.FromFiles ? "files" : "lump";
  TJson size = nullptr;
  if (!report.FromFiles && report.Count > 0) size = {128, 128};
  const std::vector<TLightmapFile> sizes = UsableSizes(report);
  if (!sizes.empty() && sizes.size() == report.Files.size() && AllOneSize(sizes))
    size = {sizes.front().Width, sizes.front().Height};
  out["LightmapSize"] = size;
  if (!report.FromFiles) return;
  out["LightmapFiles"] = TJson::array();
  for (const TLightmapFile& file : report.Files)
    out["LightmapFiles"].push_back({{"Name", JsonText(file.Name)}, {"Width", file.Width}, {"Height", file.Height}});
}

}  // namespace app

namespace app {

std::string LightModeText(bool game) {
  return game ? "game: lightmaps, vertex colours and light grid x4, largest channel at most 255 with the hue kept; "
                "image x light once"
              : "design: lightmaps and vertex colours 2v + 80 (at most 255); twice image x light";
}

}  // namespace app
