#include "app/cli/CommandLine.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace app {

bool FastAsked(bool given, bool value, bool full) { return given ? value : full; }

void AddAtPositions(const std::vector<std::string>& texts, bool fast, TCommandLine& options) {
  for (const std::string& text : texts) {
    // Without --fast only a position, as always (and the same message for anything else).
    const bool withDirection = fast && std::count(text.begin(), text.end(), ',') == 4;
    const std::vector<float> v = ParseFloatList(text, withDirection ? 5 : 3);
    options.AtPositions.push_back(TVector{v[0], v[1], v[2]});
    if (fast) options.AtDirections.push_back(withDirection ? TAtDirection{v[3], v[4]} : TAtDirection{});
  }
}

}  // namespace app
