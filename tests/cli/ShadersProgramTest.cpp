// --shaders and --full through the real program: what --info reports per texture, the totals, the
// script problems under --verbose, and nothing new without the option.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>

#include "support/BspWriter.h"
#include "support/Program.h"
#include "support/TestSupport.h"

namespace {

using nlohmann::json;
using testsupport::TBspWriter;

using testsupport::Write;

TEST(ShadersProgram, InfoReportsImageOriginFlagsAndTotals) {
  testsupport::TTempDir dir;
  TBspWriter w = TBspWriter::SmallLevel();
  w.Textures = {TBspWriter::Texture("tex/own"), TBspWriter::Texture("tex/shaded"), TBspWriter::Texture("tex/ed"),
                TBspWriter::Texture("tex/sky"), TBspWriter::Texture("tex/none")};
  for (std::int32_t t = 1; t < 5; ++t) w.Faces.push_back(TBspWriter::Face(t, 0, 4, -1, t == 4 ? 2 : 1));
  w.WriteTo(dir / "maps/s.bsp");
  Write(dir / "tex/own.jpg", "");
  Write(dir / "tex/img.tga", "");
  Write(dir / "tex/edimg.jpg", "");
  Write(dir / "scripts/a.shader",
        "tex/shaded { cull none\n { map tex/img.jpg\n blendFunc add }\n bogus 1\n}\n"
        "tex/ed { qer_editorimage tex/edimg.tga\n { map $lightmap } }\n"
        "tex/sky { surfaceparm sky\n }\n");

  testsupport::TRun run = testsupport::RunProgram(BSPWALK_PROGRAM, {"--info", "--json", "--shaders", "maps/s.bsp"}, dir.Path());
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Err, "");
  const json info = json::parse(run.Out);
  EXPECT_EQ(info["Textures"], json::parse(R"([
      {"Name": "tex/own", "Image": ".jpg", "FaceCount": 1, "Origin": "file", "Flags": ""},
      {"Name": "tex/shaded", "Image": null, "FaceCount": 1, "Origin": "shader", "Flags": "twosided blend-add nolightmap"},
      {"Name": "tex/ed", "Image": null, "FaceCount": 1, "Origin": "editorimage", "Flags": ""},
      {"Name": "tex/sky", "Image": null, "FaceCount": 1, "Origin": "none", "Flags": "sky"},
      {"Name": "tex/none", "Image": null, "FaceCount": 1, "Origin": "none", "Flags": ""}])"));
  EXPECT_EQ(info["TexturesWithoutImage"], 2);
  EXPECT_EQ(info["FacesWithoutImage"], 2);

  run = testsupport::RunProgram(BSPWALK_PROGRAM, {"--info", "--full", "--verbose", "maps/s.bsp"}, dir.Path());
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_NE(run.Out.find("Shaders         TexturesWithoutImage 2, FacesWithoutImage 2\n"), std::string::npos) << run.Out;
  EXPECT_NE(run.Err.find("bspwalk: scripts/a.shader:4: unknown directive 'bogus' in shader 'tex/shaded'\n"),
            std::string::npos) << run.Err;

  // Without the option: not a word more than before.
  run = testsupport::RunProgram(BSPWALK_PROGRAM, {"--info", "--json", "maps/s.bsp"}, dir.Path());
  EXPECT_FALSE(json::parse(run.Out).contains("FacesWithoutImage"));
  EXPECT_FALSE(json::parse(run.Out)["Textures"][0].contains("Origin"));
}

}  // namespace
