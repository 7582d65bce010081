#include "app/runs/WebPage.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "app/runs/Json.h"
#include "app/runs/Limits.h"
#include "platform/AtomicFile.h"

namespace app::page {
extern const unsigned char PageHtml[];
extern const std::size_t PageHtmlSize;
extern const unsigned char PageScript[];
extern const std::size_t PageScriptSize;
}  // namespace app::page

namespace app {
namespace {

namespace fs = std::filesystem;

// What every page of ours starts with, so that making it again may replace it.
constexpr char kPageMark[] = "<!doctype html>\n<!-- bspwalk page:";

std::string LowerTail(const std::string& text, std::size_t count) {
  std::string tail = text.size() >= count ? text.substr(text.size() - count) : text;
  std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return std::tolower(c); });
  return tail;
}

std::string Base64(const std::string& bytes) {
  static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  std::string text((bytes.size() + 2) / 3 * 4, '=');
  char* out = text.data();
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3, out += 4) {
    const unsigned v = unsigned{in[i]} << 16 | unsigned{in[i + 1]} << 8 | in[i + 2];
    out[0] = kDigits[v >> 18];
    out[1] = kDigits[(v >> 12) & 63];
    out[2] = kDigits[(v >> 6) & 63];
    out[3] = kDigits[v & 63];
  }
  // The last one or two bytes: padded with '=' as the text already is.
  if (const std::size_t left = bytes.size() - i; left > 0) {
    const unsigned v = unsigned{in[i]} << 16 | (left == 2 ? unsigned{in[i + 1]} << 8 : 0u);
    out[0] = kDigits[v >> 18];
    out[1] = kDigits[(v >> 12) & 63];
    if (left == 2) out[2] = kDigits[(v >> 6) & 63];
  }
  return text;
}

// JSON inside a <script> element: a '<' (only ever inside strings) written as an escape, so no
// text of the level can close the element.
std::string ScriptJson(const TJson& value) {
  std::string text;
  for (const char c : value.dump(-1, ' ', true)) text += c == '<' ? std::string("\\u003c") : std::string(1, c);
  return text;
}

std::string ReadWhole(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  if (!file || !(bytes << file.rdbuf()))
    throw std::runtime_error("three.js is not installed: " + path.string() +
                             " cannot be read (scripts/install-web-tools installs it; BSPWALK_THREE names "
                             "another copy of the npm package three)");
  return std::move(bytes).str();
}

// Every `from` specifier renamed; one the file does not hold means another version of three.js.
std::string Renamed(std::string text, const std::string& from, const std::string& to, const fs::path& file) {
  std::size_t count = 0;
  for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size(), ++count)
    text.replace(at, from.size(), to);
  if (count == 0)
    throw std::runtime_error(file.string() + " does not import " + from +
                             ": not the three.js the page is made for (scripts/install-web-tools installs it)");
  return text;
}

std::string DataUrl(const std::string& script) { return "data:text/javascript;base64," + Base64(script); }

}  // namespace

std::string HtmlText(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': escaped += "&quot;"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

bool IsPageName(const std::string& path) { return LowerTail(path, 5) == ".html" || LowerTail(path, 4) == ".htm"; }

bool MayWritePage(const std::string& path, std::ostream& err) {
  const auto ours = [](const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::string start(sizeof kPageMark - 1, '\0');
    return in.read(start.data(), static_cast<std::streamsize>(start.size())) && start == kPageMark;
  };
  return MayReplaceOutput(path, err, ours, "a page of bspwalk");
}

std::string PageLibraryFolder() {
  if (const char* folder = std::getenv("BSPWALK_THREE"); folder && *folder) return folder;
  return BSPWALK_THREE_DIR;
}

TPageLibrary ReadPageLibrary(const std::string& folder) {
  const fs::path root(folder);
  const fs::path module = root / "build/three.module.js", loader = root / "examples/jsm/loaders/GLTFLoader.js";
  TPageLibrary library;
  library.Core = ReadWhole(root / "build/three.core.js");
  library.Module = Renamed(ReadWhole(module), "'./three.core.js'", "'three/core'", module);
  library.Loader = Renamed(ReadWhole(loader), "'../utils/BufferGeometryUtils.js'", "'three/utils/geometry'", loader);
  library.Loader = Renamed(std::move(library.Loader), "'../utils/SkeletonUtils.js'", "'three/utils/skeleton'", loader);
  library.GeometryUtils = ReadWhole(root / "examples/jsm/utils/BufferGeometryUtils.js");
  library.SkeletonUtils = ReadWhole(root / "examples/jsm/utils/SkeletonUtils.js");
  return library;
}

std::string BuildPage(const TPageLibrary& library, const std::string& glb, const TPageInfo& info) {
  // Modules opened from disk may not load each other as files; as data URLs named in the import
  // map they may.
  const TJson imports = {{"imports",
                          {{"three", DataUrl(library.Module)},
                           {"three/core", DataUrl(library.Core)},
                           {"three/addons/loaders/GLTFLoader.js", DataUrl(library.Loader)},
                           {"three/utils/geometry", DataUrl(library.GeometryUtils)},
                           {"three/utils/skeleton", DataUrl(library.SkeletonUtils)}}}};
  const TJson details = {{"name", Latin1ToUtf8(info.Name)}, {"faces", info.Faces},
                         {"triangles", info.Triangles},     {"materials", info.Materials},
                         {"images", info.Images},           {"atlases", info.Atlases},
                         {"items", info.Items},
                         {"scale", info.Scale},             {"fov", info.FovDegrees}};
  const std::map<std::string, std::string> values = {
      {"@GENERATOR@", HtmlText(info.Generator)}, {"@TITLE@", HtmlText(Latin1ToUtf8(info.Name))},
      {"@IMPORTMAP@", ScriptJson(imports)},      {"@INFO@", ScriptJson(details)},
      {"@LEVEL@", Base64(glb)},
      {"@SCRIPT@", std::string(reinterpret_cast<const char*>(page::PageScript), page::PageScriptSize)}};
  const std::string_view html(reinterpret_cast<const char*>(page::PageHtml), page::PageHtmlSize);
  std::string out;
  out.reserve(html.size() + glb.size() * 4 / 3 + 4 * (library.Core.size() + library.Module.size()) / 3 + (1 << 20));
  std::size_t done = 0;
  for (std::size_t at = html.find('@'); at != std::string_view::npos; at = html.find('@', at + 1)) {
    const std::size_t end = html.find('@', at + 1);
    if (end == std::string_view::npos) break;
    const auto value = values.find(std::string(html.substr(at, end - at + 1)));
    if (value == values.end()) continue;
    out.append(html.substr(done, at - done)).append(value->second);
    done = end + 1;
    at = end;
  }
  return out.append(html.substr(done));
}

std::uint64_t WritePage(const std::string& page, const std::string& path) {
  try {
    platform::TAtomicFile file(path);
    if (std::fwrite(page.data(), 1, page.size(), file.Stream()) != page.size())
      throw std::system_error(std::make_error_code(std::errc::io_error));
    file.Commit();
  } catch (const std::system_error& e) {
    throw std::runtime_error("cannot write " + path + ": " + e.code().message());
  }
  return page.size();
}

}  // namespace app
