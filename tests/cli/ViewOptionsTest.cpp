// The view-mode options: what is accepted, and the exact refusal for what is not.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/cli/CommandLine.h"
#include "app/cli/Launch.h"
#include "app/viewer/ViewModes.h"

namespace {

struct TViewCase {
  std::vector<const char*> Args;
  std::string Error;  // empty: accepted
  std::string Modes;  // ModeNames after ApplyViewOptions, when accepted
};

TEST(ViewOptions, AcceptedAndRefused) {
  const TViewCase cases[] = {
      {{"--screenshot", "a.png", "--mode", "lightmaps,wireframe"}, "", "lightmaps+wireframe"},
      {{"--benchmark", "--mode", "clusters", "--freeze", "1,2,3"}, "", "clusters+freeze"},
      {{"--mode", "textures", "--fov", "179"}, "", "textures"},
      {{"--screenshot", "a.png", "--mode", "wireframe,wireframe"}, "", "wireframe"},
      {{"--screenshot", "a.png", "--no-hud", "--fov", "1"}, "", "plain"},
      {{"--screenshot", "a.png", "--mode", "textures,clusters"},
       "bspwalk: --mode: textures, lightmaps and clusters cannot be combined (see bspwalk --help)\n", ""},
      {{"--screenshot", "a.png", "--mode", "fog"},
       "bspwalk: --mode: 'fog' is not one of textures, lightmaps, wireframe, clusters, entities (see bspwalk --help)\n", ""},
      {{"--screenshot", "a.png", "--mode", ""},
       "bspwalk: --mode: '' is not one of textures, lightmaps, wireframe, clusters, entities (see bspwalk --help)\n", ""},
      {{"--fov", "0.99"}, "bspwalk: --fov: '0.99' is not from 1 to 179 degrees (see bspwalk --help)\n", ""},
      {{"--fov", "179.5"}, "bspwalk: --fov: '179.5' is not from 1 to 179 degrees (see bspwalk --help)\n", ""},
      {{"--fov", "nan"}, "bspwalk: --fov: 'nan' is not from 1 to 179 degrees (see bspwalk --help)\n", ""},
      {{"--freeze", "1,2"}, "bspwalk: --freeze: '1,2' has 2 values, expected 3 separated by commas (see bspwalk --help)\n", ""},
      {{"--info", "--mode", "wireframe"},
       "bspwalk: --mode applies to the viewer, --screenshot and --benchmark only (see bspwalk --help)\n", ""},
      {{"--benchmark", "--watch"}, "bspwalk: --watch applies to the viewer only (see bspwalk --help)\n", ""},
  };
  for (const TViewCase& c : cases) {
    std::vector<const char*> argv{"bspwalk"};
    argv.insert(argv.end(), c.Args.begin(), c.Args.end());
    std::ostringstream out, err;
    const app::TParseResult r = app::ParseCommandLine(static_cast<int>(argv.size()), argv.data(), out, err);
    SCOPED_TRACE(c.Args.back());
    EXPECT_EQ(err.str(), c.Error);
    if (!c.Error.empty()) {
      EXPECT_EQ(r.ExitCode, 2);
      continue;
    }
    ASSERT_TRUE(r.Options);
    app::TCommandLine options = *r.Options;
    app::ApplyViewOptions(options);
    EXPECT_EQ(app::ModeNames(options.Viewer.Render), c.Modes);
  }
}

}  // namespace
