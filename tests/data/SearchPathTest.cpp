#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "support/ZipWriter.h"
#include "data/SearchPath.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using testsupport::TRawEntry;
using testsupport::TTempDir;

namespace {

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

std::string Text(const std::optional<std::vector<std::uint8_t>>& bytes) {
  return bytes ? std::string(bytes->begin(), bytes->end()) : "<none>";
}

struct TWarnings {
  std::vector<std::string> Lines;
  data::TWarningSink Sink() {
    return [this](const std::string& line) { Lines.push_back(line); };
  }
};

TEST(SearchPath, LayersOrderArchivesLooseFilesAndDataFolders) {
  TTempDir dir;
  const std::string first = dir / "first", second = dir / "second", base = dir / "base";
  fs::create_directories(first + "/Textures");
  fs::create_directories(base + "/maps");
  // Archives of one folder in ascending name order: b.pk3 over a.pk3, whatever the case.
  testsupport::WriteZip(first + "/b.pk3", {{"MAPS/Level.BSP", "from b"}});
  testsupport::WriteZip(first + "/a.pk3", {{"maps/level.bsp", "from a"},
                                           {"maps/only_a.bsp", "only a"},
                                           {"textures/wall.jpg", "archived wall"},
                                           {"scripts/x.shader", "a shader"}});
  testsupport::WriteFile(first + "/Textures/Wall.JPG", Bytes("loose wall"));
  testsupport::WriteFile(first + "/shared.txt", Bytes("first loose"));
  testsupport::WriteZip(dir / "second.pk3", {{"shared.txt", "second archive"},
                                             {"override.txt", "archived"}});
  testsupport::WriteFile(base + "/override.txt", Bytes("base"));
  testsupport::WriteFile(base + "/maps/base.bsp", Bytes("base level"));
  testsupport::WriteFile(dir / "outside.txt", Bytes("outside"));

  TWarnings warnings;
  const data::TSearchPath path({first, dir / "second.pk3"}, base, warnings.Sink());
  EXPECT_EQ(warnings.Lines, std::vector<std::string>{});
  EXPECT_EQ(path.IndexedEntries(), 6u);

  const struct {
    const char* Name;
    const char* Content;
    const char* Source;  // the end of the archive or folder it comes from
  } cases[] = {
      {"maps/level.bsp", "from b", "first/b.pk3"},       // later archive of a folder wins
      {"MAPS\\LEVEL.bsp", "from b", "first/b.pk3"},      // case and '\' ignored
      {"maps//only_a.bsp", "only a", "first/a.pk3"},
      {"textures\\WALL.jpg", "loose wall", "first"},     // loose over archived
      {"shared.txt", "second archive", "second.pk3"},    // later --data over earlier
      {"override.txt", "base", "base"},                  // the base folder over everything
      {"Maps/Base.bsp", "base level", "base"},
      {"../outside.txt", "<none>", ""},                  // never outside the search path
      {"/etc/passwd", "<none>", ""},
      {"maps", "<none>", ""},                            // a folder is no file
      {"maps/missing.bsp", "<none>", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(Text(path.Read(c.Name)), c.Content);
    EXPECT_EQ(path.Exists(c.Name), std::string(c.Content) != "<none>");
    const auto info = path.Find(c.Name);
    if (info) {
      EXPECT_TRUE(info->Source.ends_with(c.Source)) << info->Source;
    }
  }

  std::vector<std::string> listed;
  for (const data::TEntryInfo& e : path.List("MAPS", ".BSP"))
    listed.push_back(e.Name + " " + (e.Archived ? "archived " : "loose ") + std::to_string(e.Size));
  EXPECT_EQ(listed, (std::vector<std::string>{"maps/base.bsp loose 10", "MAPS/Level.BSP archived 6",
                                              "maps/only_a.bsp archived 6"}));
  EXPECT_EQ(path.Places(), (std::vector<std::string>{base, dir / "second.pk3", first,
                                                     first + "/b.pk3", first + "/a.pk3"}));
}

TEST(SearchPath, IndexKeysRefuseNamesThatLeaveTheSearchPath) {
  const std::pair<std::string, std::string> cases[] = {
      {"Maps\\OA_DM4.bsp", "maps/oa_dm4.bsp"}, {"a//b", "a/b"}, {"\xc3\xa9t\xc3\xa9", "\xc3\xa9t\xc3\xa9"},
      {"", "-"}, {"/abs", "-"}, {"\\abs", "-"}, {"c:/x", "-"}, {"a/../b", "-"}, {"..", "-"},
      {"./a", "-"}, {"a/", "-"}, {std::string("a\0b", 3), "-"}, {"tab\there", "-"},
      {"\xff", "-"}, {"\xc0\xaf", "-"}, {"\xed\xa0\x80", "-"}, {"\xe2\x82", "-"}};
  for (const auto& [name, key] : cases)
    EXPECT_EQ(data::IndexKey(name).value_or("-"), key) << name;
}

// "data" as one stored deflate block, and its CRC.
const std::string kDeflatedData("\x01\x04\x00\xfb\xff" "data", 9);
constexpr std::int64_t kDataCrc = 0xadf3f363;

// Hostile archives: each gives its one line naming the archive (and entry), and the others load.
TEST(SearchPath, HostileArchivesAreReportedAndSkipped) {
  const std::vector<std::uint8_t> good = testsupport::RawZip({{"good.txt", "fine"}});
  std::vector<std::uint8_t> cut = good;
  cut.resize(cut.size() / 2);
  std::vector<std::uint8_t> damaged = good;
  damaged[damaged.size() - 22 - 46 - 8] ^= 0xff;  // the central directory's signature
  std::vector<TRawEntry> many;
  for (int i = 0; i < 9; ++i) many.push_back({"../x" + std::to_string(i), "x"});

  const struct {
    const char* Label;
    std::vector<std::uint8_t> Archive;
    const char* Read;     // the entry read after indexing
    const char* Content;  // what it gives
    std::vector<std::string> Warnings;  // after "<archive>: "
  } cases[] = {
      {"not a zip", Bytes("just some text, no zip at all"), "good.txt", "<none>",
       {"skipped, not a readable zip archive (Not a zip archive)"}},
      {"cut short", cut, "good.txt", "<none>", {"skipped, not a readable zip archive (Not a zip archive)"}},
      {"damaged directory", damaged, "good.txt", "<none>",
       {"skipped, not a readable zip archive (Not a zip archive)"}},
      {"bad CRC", testsupport::RawZip({{"a.txt", "data", 0, 0, 1234}}), "a.txt", "<none>",
       {"a.txt: CRC error"}},
      {"longer than declared", testsupport::RawZip({{"a.txt", "data", 0, 0, -1, 3}}), "a.txt",
       "<none>", {"a.txt: inflates to more than the declared 3 bytes"}},
      {"huge declared", testsupport::RawZip({{"a.txt", "data", 8, 0, -1, 0xfffffff0}}), "a.txt",
       "<none>", {"a.txt: declares 4294967280 bytes, more than the 67108864 bytes a game file may hold"}},
      {"deflated, bad CRC", testsupport::RawZip({{"a.txt", kDeflatedData, 8, 0, 1234, 4}}), "a.txt",
       "<none>", {"a.txt: CRC error"}},
      {"deflated, damaged", testsupport::RawZip({{"a.txt", "\x07\x00", 8, 0, kDataCrc, 4}}), "a.txt",
       "<none>", {"a.txt: damaged compressed data"}},
      {"deflated, longer than declared", testsupport::RawZip({{"a.txt", kDeflatedData, 8, 0, kDataCrc, 3}}),
       "a.txt", "<none>", {"a.txt: inflates to more than the declared 3 bytes"}},
      {"deflated, shorter than declared", testsupport::RawZip({{"a.txt", kDeflatedData, 8, 0, kDataCrc, 6}}),
       "a.txt", "<none>", {"a.txt: inflates to 4 bytes, not the declared 6 bytes"}},
      // More than nine bytes of deflate data can give: never allocated, streamed and found short.
      {"deflated, declares 60 MB", testsupport::RawZip({{"a.txt", kDeflatedData, 8, 0, kDataCrc, 60 << 20}}),
       "a.txt", "<none>", {"a.txt: inflates to 4 bytes, not the declared 62914560 bytes"}},
      {"encrypted", testsupport::RawZip({{"a.txt", "data", 0, 1}}), "a.txt", "<none>",
       {"a.txt: encrypted, cannot be read"}},
      {"unknown method", testsupport::RawZip({{"a.txt", "data", 97}}), "a.txt", "<none>",
       {"a.txt: compression method 97 not supported"}},
      {"duplicate", testsupport::RawZip({{"a.txt", "one"}, {"A.TXT", "two"}}), "a.txt", "one",
       {"entry 'A.TXT' skipped: the archive holds that name twice"}},
      {"bad names",
       testsupport::RawZip({{"../up.txt", "x"}, {"/abs.txt", "x"}, {std::string("n\0ul", 4), "x"},
                            {"bad\xff.txt", "x"}, {"win\\dows.txt", "backslash"}}),
       "win/dows.txt", "backslash",
       {"entry '../up.txt' skipped: not a name inside the game data",
        "entry '/abs.txt' skipped: not a name inside the game data",
        "entry 'bad\\xff.txt' skipped: not a name inside the game data"}},
      {"many bad names", testsupport::RawZip(many), "x0", "<none>",
       {"entry '../x0' skipped: not a name inside the game data",
        "entry '../x1' skipped: not a name inside the game data",
        "entry '../x2' skipped: not a name inside the game data",
        "entry '../x3' skipped: not a name inside the game data",
        "entry '../x4' skipped: not a name inside the game data", "4 more entries skipped"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Label);
    TTempDir dir;
    testsupport::WriteFile(dir / "bad.pk3", c.Archive);
    testsupport::WriteZip(dir / "z.pk3", {{"other.txt", "still here"}});
    TWarnings warnings;
    const data::TSearchPath path({dir.Path()}, "", warnings.Sink());
    EXPECT_EQ(Text(path.Read(c.Read)), c.Content);
    EXPECT_EQ(Text(path.Read("other.txt")), "still here");
    std::vector<std::string> expected;
    for (const std::string& w : c.Warnings) expected.push_back(dir / "bad.pk3" + ": " + w);
    EXPECT_EQ(warnings.Lines, expected);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::recursive_directory_iterator(dir.Path())) ++files;
    EXPECT_EQ(files, 2u);  // nothing written
  }
}

// Files read ahead come out as a plain read gives them, each once, with their warnings when they
// are taken; other names read meanwhile; untaken ones past the holding limit hold up no caller.
TEST(SearchPath, ReadAheadHandsOutEachFileOnce) {
  TTempDir dir;
  testsupport::WriteZip(dir / "a.pk3", {{"one.txt", "first"}, {"two.txt", "second"}, {"three.txt", "third"}});
  testsupport::WriteFile(dir / "bad.pk3", testsupport::RawZip({{"bad.txt", "data", 0, 0, 1234}}));
  const std::vector<std::uint8_t> big((33u << 20), 7);  // two of them pass the holding limit
  testsupport::WriteFile(dir / "big1.bin", big);
  testsupport::WriteFile(dir / "big2.bin", big);
  TWarnings warnings;
  data::TSearchPath path({dir.Path()}, "", warnings.Sink());

  path.ReadAhead({"ONE.txt", "bad.txt", "missing.txt", "two.txt", "one.txt", "two.txt"});
  EXPECT_EQ(Text(path.Read("three.txt")), "third");
  EXPECT_EQ(Text(path.Read("two.txt")), "second");
  EXPECT_EQ(warnings.Lines, std::vector<std::string>{});
  EXPECT_EQ(Text(path.Read("bad.txt")), "<none>");
  EXPECT_EQ(warnings.Lines, std::vector<std::string>{dir / "bad.pk3" + ": bad.txt: CRC error"});
  EXPECT_EQ(Text(path.Read("one.txt")), "first");
  EXPECT_EQ(Text(path.Read("one.txt")), "first");  // taken once, then read as usual

  path.ReadAhead({"big1.bin", "big2.bin", "three.txt"});
  EXPECT_EQ(Text(path.Read("three.txt")), "third");
  path.ReadAhead({"big1.bin", "two.txt"});  // dropped untaken, and the path goes with its thread
}

// The run's budget is taken from an entry's declared size before it is inflated and from a loose
// file's size before it is read: exactly the figure is read, what passes it is left out unread
// (EBudgetSpent, no warning of the search path's own: the budget names it), read ahead or not.
TEST(SearchPath, BudgetIsTakenBeforeAnythingIsRead) {
  TTempDir dir;
  fs::create_directories(dir / "data");
  testsupport::WriteFile(dir / "data/a.pk3", testsupport::RawZip({{"one.txt", "12345"}, {"two.txt", "678"},
                                                                  {"bad.txt", "data", 0, 0, 1234}}));
  testsupport::WriteFile(dir / "data/loose.txt", Bytes("abcd"));
  testsupport::WriteFile(dir / "data/more.txt", Bytes("e"));
  for (const bool ahead : {false, true}) {
    SCOPED_TRACE(ahead ? "read ahead" : "read");
    TWarnings warnings;
    platform::TBudget budget({.InflatedBytes = 8, .DiskBytes = 4});
    data::TSearchPath path({dir / "data"}, "", warnings.Sink(), &budget);
    if (ahead) path.ReadAhead({"one.txt", "two.txt", "bad.txt", "loose.txt", "more.txt"});
    EXPECT_EQ(Text(path.Read("one.txt")), "12345");
    EXPECT_EQ(Text(path.Read("two.txt")), "678");
    EXPECT_THROW(path.Read("bad.txt"), platform::EBudgetSpent);
    EXPECT_EQ(Text(path.Read("loose.txt")), "abcd");
    EXPECT_THROW(path.Read("more.txt"), platform::EBudgetSpent);
    EXPECT_EQ(warnings.Lines, std::vector<std::string>{}) << "bad.txt was not read";
    EXPECT_EQ(budget.TakeWarnings(),
              (std::vector<std::string>{"the budget of 8 bytes inflated from archives is spent; left out: bad.txt",
                                        "the budget of 4 bytes read from disk is spent; left out: " +
                                            dir / "data/more.txt"}));
  }
}

// A symbolic link in a data folder is followed while it stays inside the folder; one that leads
// outside is not (one warning, however often it is asked for). The base folder is the user's own:
// its links are followed.
TEST(SearchPath, LinksOutOfADataFolderAreNotFollowed) {
  TTempDir dir;
  fs::create_directories(dir / "data/tex");
  fs::create_directories(dir / "outside");
  fs::create_directories(dir / "base");
  testsupport::WriteFile(dir / "data/tex/in.txt", Bytes("in"));
  testsupport::WriteFile(dir / "outside/out.txt", Bytes("out"));
  fs::create_directory_symlink(dir / "data/tex", dir / "data/alias");
  fs::create_directory_symlink(dir / "outside", dir / "data/away");
  fs::create_symlink(dir / "outside/out.txt", dir / "data/file.txt");
  fs::create_directory_symlink(dir / "outside", dir / "base/mine");
  TWarnings warnings;
  data::TSearchPath path({dir / "data"}, dir / "base", warnings.Sink());
  EXPECT_EQ(Text(path.Read("alias/in.txt")), "in");
  EXPECT_FALSE(path.Exists("away/out.txt"));
  EXPECT_FALSE(path.Exists("away/out.txt"));
  EXPECT_FALSE(path.Exists("file.txt"));
  EXPECT_EQ(Text(path.Read("mine/out.txt")), "out");
  std::sort(warnings.Lines.begin(), warnings.Lines.end());  // in the order the folder lists them
  EXPECT_EQ(warnings.Lines,
            (std::vector<std::string>{
                dir / "data/away: a symbolic link that leads outside " + dir / "data, not followed",
                dir / "data/file.txt: a symbolic link that leads outside " + dir / "data, not followed"}));
}

}  // namespace
