#pragma once
// --export FILE.html: one web page that carries the level's .glb, the three.js build it draws with
// and its own script, so that it opens from disk in a browser with no server and no network. The
// page's template and script are files of the project (page/) compiled into the program; three.js
// is read when the page is made, from the npm package scripts/install-web-tools installs.
#include <cstdint>
#include <ostream>
#include <string>

namespace app {

// A name the export writes as a web page: it ends in ".html" or ".htm" (any letter case).
bool IsPageName(const std::string& path);

// Whether the export may write a page at `path`: nothing is there, or an earlier page of ours that
// it replaces. Anything else is left alone, with one line on `err`.
bool MayWritePage(const std::string& path, std::ostream& err);

// The three.js modules the page carries, with their imports of each other renamed so that they
// resolve inside the page.
struct TPageLibrary {
  std::string Core, Module, Loader, GeometryUtils, SkeletonUtils;
};

// Where the npm package three is read from: $BSPWALK_THREE when set, else the build tree's copy.
std::string PageLibraryFolder();

// Reads the package; raises std::runtime_error saying what is missing and how to install it.
TPageLibrary ReadPageLibrary(const std::string& folder);

// What the page shows of the level beside the picture.
struct TPageInfo {
  std::string Name;  // the level's name, as the export records it
  std::string Generator;
  std::int64_t Faces = 0, Triangles = 0;
  std::size_t Materials = 0, Images = 0, Atlases = 0, Items = 0;
  float Scale = 0.0254f;  // metres per level unit of the .glb
  double FovDegrees = 80;
};

// Text as HTML shows it: '&', '<', '>' and '"' written as references.
std::string HtmlText(const std::string& text);

// The whole page.
std::string BuildPage(const TPageLibrary& library, const std::string& glb, const TPageInfo& info);

// Writes the page in place when whole; returns its size. Raises std::runtime_error naming the file.
std::uint64_t WritePage(const std::string& page, const std::string& path);

}  // namespace app
