// What the command line lets a run touch or cost: picture names and the bounds of --size (what a
// picture may replace is checked through the program in tests/cli/HostileInputTest.cpp).
#include <gtest/gtest.h>

#include <sstream>

#include "app/cli/CommandLine.h"

namespace {

app::TParseResult Parse(std::vector<const char*> args, std::string& err) {
  args.insert(args.begin(), "bspwalk");
  std::ostringstream out, errors;
  app::TParseResult result = app::ParseCommandLine(static_cast<int>(args.size()), args.data(), out, errors);
  err = errors.str();
  return result;
}

TEST(Bounds, PictureNamesSizesAndFrameTimesOnTheCommandLine) {
  const std::vector<std::pair<std::vector<const char*>, std::string>> refused = {
      {{"--screenshot", "maps/oa_dm1.bsp"}, "'maps/oa_dm1.bsp' does not end in .png"},
      {{"--screenshot=shot"}, "does not end in .png"},
      {{"--screenshot", ".pn"}, "does not end in .png"},
      {{"--screenshot", "shot.png.jpg"}, "does not end in .png"},
      {{"--size", "8193x600"}, "width '8193' is not a whole number from 1 to 8192"},
      {{"--size", "600x8193"}, "height '8193' is not a whole number from 1 to 8192"},
      {{"--frame-times", "--info", "a.bsp"}, "--frame-times applies to the viewer only"},
  };
  for (const auto& [args, named] : refused) {
    SCOPED_TRACE(args.front());
    std::string err;
    const app::TParseResult r = Parse(args, err);
    EXPECT_FALSE(r.Options);
    EXPECT_EQ(r.ExitCode, 2);
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    EXPECT_NE(err.find(named), std::string::npos) << err;
  }
  std::string err;
  for (const char* name : {"a.png", "A.PNG", "dir/.png", "x.Png"})
    EXPECT_TRUE(Parse({"--screenshot", name}, err).Options) << name << err;
  const app::TParseResult largest = Parse({"--size", "8192x8192", "--frame-times"}, err);
  ASSERT_TRUE(largest.Options) << err;
  EXPECT_EQ(largest.Options->Size->Width, 8192);
  EXPECT_TRUE(largest.Options->FrameTimes);
}

}  // namespace
