#include "app/runs/LightmapReport.h"

#include <algorithm>

#include "level/LightmapFiles.h"
#include "platform/Files.h"
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

}  // namespace

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
    const std::optional<std::vector<std::uint8_t>> bytes = platform::ReadWholeFile(name);
    const textures::TTopFirstPicture picture =
        bytes ? textures::DecodeTopFirstRGB(*bytes, name, textures::kLargestImageSide) : textures::TTopFirstPicture{};
    if (bytes && picture.Ok()) {
      file.Width = static_cast<std::int32_t>(picture.Width);
      file.Height = static_cast<std::int32_t>(picture.Height);
    } else {
      report.Warnings.push_back(name + ": " + (bytes ? picture.Error : "cannot be read"));
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
