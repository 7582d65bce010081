#include "app/cli/Help.h"

#include <algorithm>
#include <numeric>

#include "app/viewer/KeyTable.h"
#include "level/Items.h"
#include "platform/Budget.h"

namespace app {
namespace {

// The longest name compared for CloseNames.
constexpr std::size_t kLongestName = 255;

// Tagged lines as help2man reads them: the tag, at least two spaces, the text.
std::string Tagged(const std::string& tag, const std::string& text, std::size_t column) {
  const std::string head = "  " + tag;
  return head + std::string(head.size() + 2 > column ? 2 : column - head.size(), ' ') + text + "\n";
}

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

std::size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  std::iota(row.begin(), row.end(), std::size_t{0});
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({above + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

std::string HelpFooter(std::size_t keyColumn) {
  std::string text = "*Keys*\n";
  for (const std::string& line : KeyLines("  ", keyColumn)) text += line + "\n";
  text += "\n*Exit status*\n";
  text += Tagged("0", "the run did what was asked; also after --help and --version, and when the "
                      "viewer without LEVEL has shown why it could not start",
                 keyColumn);
  text += Tagged("1", "it could not: a level or file that cannot be read or used, a picture that "
                      "cannot be written, no display to open",
                 keyColumn);
  text += Tagged("2", "a usage error: an unknown option, a wrong value, options that do not "
                      "combine, a folder of --base, --data or BSPWALK_DATA that is not there, "
                      "--list without game data, a --size the GL cannot draw",
                 keyColumn);
  using platform::BudgetFigure;
  using platform::TBudgetKind;
  const platform::TBudgetLimits limits;
  text += "\n*Limits*\n";
  text += Tagged("per file", BudgetFigure(TBudgetKind::Inflated, platform::kMaxFileBytes) +
                                 " (a level, an image, an archive entry); a shader script " +
                                 BudgetFigure(TBudgetKind::Inflated, platform::kMaxScriptBytes),
                 keyColumn);
  text += Tagged("per run", BudgetFigure(TBudgetKind::Inflated, limits.InflatedBytes) +
                                " inflated from archives, " +
                                BudgetFigure(TBudgetKind::ReadFromDisk, limits.DiskBytes) +
                                " read from disk, " + BudgetFigure(TBudgetKind::Shaders, limits.Shaders) +
                                ", " + BudgetFigure(TBudgetKind::Tessellation, limits.TessellationBytes) +
                                " of curved surfaces (at most " +
                                std::to_string(limits.TessellationPerFileByte) +
                                " bytes per byte of the level), " +
                                BudgetFigure(TBudgetKind::Pixels, limits.PixelBytes) +
                                " of decoded pixels (surface images, lightmap files, model skins), " +
                                BudgetFigure(TBudgetKind::ItemGeometry, limits.ItemGeometryBytes) +
                                " of item geometry (one frame draws at most " + platform::WithCommas(kMostItemVerticesDrawn) + " item vertices), " + BudgetFigure(TBudgetKind::ShaderBytes, limits.ShaderBytes) +
                                " of shader stages, " +
                                BudgetFigure(TBudgetKind::ExportMaterials, limits.ExportMaterials) +
                                " of an export; what passes them is left out with "
                                "one warning (see docs/input-costs.md, \"What input may cost\")",
                 keyColumn);
  text += "\n*Environment*\n";
  text += Tagged("BSPWALK_DATA", "game-data folders or .pk3 files, colon-separated, used when no "
                                 "--data is given (a run with arguments only)",
                 keyColumn);
  text += "\n*Examples*\n"
          "  $ bspwalk --data /usr/share/games/openarena/baseoa --full oa_dm4\n"
          "      Fly through oa_dm4 of the OpenArena data as players see it (--full), from its\n"
          "      first spawn point; without --full the plain frame: faces, images and lightmaps.\n"
          "  $ export BSPWALK_DATA=/usr/share/games/openarena/baseoa\n"
          "  $ bspwalk --list\n"
          "      The same data for the runs that follow; list its levels.\n"
          "  $ bspwalk --full --spawn 2 --screenshot dm4.png oa_dm4\n"
          "      A picture from the second spawn point with every fidelity option.\n"
          "  $ bspwalk --windowed --watch mylevel.bsp\n"
          "      Your own level in a window, loaded again whenever its file changes.\n";
  return text;
}

std::vector<std::string> CloseNames(const std::string& typed,
                                    const std::vector<std::string>& candidates, std::size_t most) {
  const std::string t = Lower(typed);
  const std::size_t limit = std::min<std::size_t>(3, t.size() / 2);
  std::vector<std::pair<std::size_t, std::string>> close;
  // Nobody types a name this long: a text of any length costs nothing.
  if (t.size() > kLongestName) return {};
  for (const std::string& candidate : candidates) {
    if (candidate.size() > kLongestName) continue;
    const std::string c = Lower(candidate);
    const std::size_t apart = c.size() > t.size() ? c.size() - t.size() : t.size() - c.size();
    // No edit distance is below the difference in length.
    std::size_t distance = apart <= limit ? EditDistance(t, c) : limit + 1;
    if (distance > limit && t.size() >= 3 && c.find(t) != std::string::npos) distance = apart;
    else if (distance > limit) continue;
    close.emplace_back(distance, candidate);
  }
  std::stable_sort(close.begin(), close.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> names;
  for (std::size_t i = 0; i < close.size() && i < most; ++i) names.push_back(close[i].second);
  return names;
}

}  // namespace app
