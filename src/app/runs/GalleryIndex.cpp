#include <cstdio>

#include "app/runs/Gallery.h"
#include "app/runs/WebPage.h"

namespace app {
namespace {

std::string Megabytes(std::uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
  return text;
}

std::string Row(const TGalleryEntry& entry) {
  const std::string name = HtmlText(entry.Name);
  const std::string picture = entry.Overview
      ? "<a href=\"" + name + ".html\"><img src=\"" + name + ".png\" alt=\"" + name + " from above\" width=\"256\"></a>"
      : "";
  return "<tr><td>" + picture + "</td><td><a href=\"" + name + ".html\">" + name + "</a></td><td>" +
         Megabytes(entry.LevelBytes) + "</td><td>" + Megabytes(entry.PageBytes) + "</td><td>" +
         std::to_string(entry.Faces) + "</td><td>" + std::to_string(entry.Triangles) + "</td><td>" +
         std::to_string(entry.SpawnPoints) + "</td><td>" + std::to_string(entry.MissingImages) + "</td></tr>\n";
}

}  // namespace

std::string GalleryIndex(const std::vector<TGalleryEntry>& entries) {
  std::string rows, failed;
  for (const TGalleryEntry& entry : entries) {
    if (entry.Problem.empty())
      rows += Row(entry);
    else
      failed += "<li>" + HtmlText(entry.Name) + ": " + HtmlText(entry.Problem) + "</li>\n";
  }
  return "<!doctype html>\n<!-- bspwalk gallery: the index of the levels' pages beside it. -->\n"
         "<html>\n<head>\n<meta charset=\"utf-8\">\n<title>bspwalk gallery</title>\n"
         "<style>body { font: 14px sans-serif; background: #111; color: #ddd; } a { color: #8cf; }\n"
         "td, th { padding: 4px 8px; text-align: right; } td:nth-child(2) { text-align: left; }</style>\n"
         "</head>\n<body>\n<h1>bspwalk gallery</h1>\n<p>Each page opens from disk and flies through its level: "
         "click to look with the mouse, W/S/A/D to fly.</p>\n<table>\n<tr><th>from above</th><th>level</th>"
         "<th>level file</th><th>page</th><th>faces</th><th>triangles</th><th>spawn points</th>"
         "<th>missing images</th></tr>\n" +
         rows + "</table>\n" + (failed.empty() ? "" : "<h2>Levels without a page</h2>\n<ul>\n" + failed + "</ul>\n") +
         "</body>\n</html>\n";
}

}  // namespace app
