// The entity reader on the texts that real and damaged lumps hold, and what is built from the
// entities: places, families, --goto's search, MD3 models.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "level/EntityLinks.h"
#include "level/Items.h"
#include "level/Md3.h"
#include "level/Things.h"
#include "support/Md3Writer.h"
#include "support/TestLevels.h"

namespace {

// Each entity as "key=value;key=value", the entities joined by " | ".
std::string Shape(const std::vector<TEntity>& entities) {
  std::string out;
  for (std::size_t i = 0; i < entities.size(); ++i) {
    if (i > 0) out += " | ";
    std::string pairs;
    for (const auto& [key, value] : entities[i]) pairs += (pairs.empty() ? "" : ";") + key + "=" + value;
    out += pairs;
  }
  return out;
}

std::string Problems(const TEntityText& text) {
  std::string out;
  for (const TEntityProblem& p : text.Problems) out += (out.empty() ? "" : " / ") + std::to_string(p.Line) + ": " + p.Text;
  return out;
}

TEST(EntityText, TrickyTexts) {
  struct TCase {
    const char* Text;
    const char* Entities;
    const char* Problems;
  } cases[] = {
      {"{\n\"classname\" \"worldspawn\"\n}", "classname=worldspawn", ""},
      {"{ \"message\" \"braces { } and // in a value\" }", "message=braces { } and // in a value", ""},
      {"// a comment \"with quotes\" {\n{ \"a\" \"b\" } /* a { block\n comment */ { \"c\" \"d\" }", "a=b | c=d", ""},
      {"{ \"a\" \"line one\nline two\" \"b\" \"c\" }", "a=line one\nline two;b=c", ""},
      {"{ classname light origin \"1 2 3\" }", "classname=light;origin=1 2 3", ""},
      {"{ \"origin\" \"1 2 3\" \"origin\" \"4 5 6\" }", "origin=1 2 3",
       "1: entity 0: key \"origin\" repeated: the first value is kept"},
      {"{ \"a\" \"b\"\n{ \"c\" \"d\" }", "c=d", "1: entity 0 is not closed before the '{' on line 2: skipped"},
      {"{ \"a\" \"b\" }\n{ \"c\" \"d\"", "a=b", "2: entity 1 is not closed: skipped"},
      {"{ \"a\" \"b }", "", "1: a quoted string is not closed: the rest of the text is skipped / 1: entity 0 is not closed: skipped"},
      {"{ \"a\" }", "", "1: entity 0: key \"a\" has no value: skipped"},
      {"} junk junk\n{ \"a\" \"b\" }", "a=b", "1: '}' outside any entity: skipped / 1: text outside any entity (\"junk\"): skipped"},
      {"{ \"a\" \"b\" } /* never closed", "a=b", "1: a /* comment is not closed: the rest of the text is skipped"},
      {"{}{}", " | ", ""},
      {"", "", ""},
  };
  for (const TCase& c : cases) {
    const TEntityText text = ReadEntityText(c.Text);
    EXPECT_EQ(Shape(text.Entities), c.Entities) << c.Text;
    EXPECT_EQ(Problems(text), c.Problems) << c.Text;
  }
}

TEST(EntityText, BoundedOnBothSides) {
  std::string most;
  for (std::size_t i = 0; i < kMostEntities; ++i) most += "{}";
  const TEntityText full = ReadEntityText(most);
  EXPECT_EQ(full.Entities.size(), kMostEntities);
  EXPECT_TRUE(full.Problems.empty());
  const TEntityText over = ReadEntityText(most + "{}{}");
  EXPECT_EQ(over.Entities.size(), kMostEntities);
  ASSERT_EQ(over.Problems.size(), 1u);
  EXPECT_EQ(over.Problems[0].Text, "more than 65536 entities: the rest of the text is skipped");

  // A 100 MB lump of pairs stops at the bound of pairs, its problems kept to their own bound.
  std::string huge;
  huge.reserve(100u << 20);
  const std::string block = "{\"a\" \"1\" \"b\" \"2\" \"c\" \"3\" \"d\" \"4\" \"e\" \"5\" \"f\" \"6\" \"g\" \"7\" \"h\" \"8\" \"a\" \"9\"}\n";
  while (huge.size() < (100u << 20)) huge += block;
  const TEntityText big = ReadEntityText(huge);
  std::size_t pairs = 0;
  for (const TEntity& entity : big.Entities) pairs += entity.size();
  EXPECT_EQ(pairs, kMostEntityPairs);
  EXPECT_EQ(big.Problems.size(), kMostEntityProblems);
  EXPECT_GT(big.ProblemsNotKept, 0u);
}

TEST(EntityText, Numbers) {
  EXPECT_EQ(ParseThreeNumbers(" -64 128.5  1e2 ")->Z, 100.0f);
  for (const char* bad : {"1 2", "1 2 3 4", "1,2,3", "nan 0 0", "1 2 inf", "", "1 2 3x"})
    EXPECT_FALSE(ParseThreeNumbers(bad)) << bad;
  EXPECT_EQ(ParseNumber(" +90 "), 90.0f);
  EXPECT_FALSE(ParseNumber("90 deg"));
}

TEST(Places, OriginsModelsAndWarnings) {
  const std::vector<TEntity> entities = ReadEntityText(
      "{\"classname\" \"worldspawn\"}"
      "{\"classname\" \"item_quad\" \"origin\" \"10 20 30\" \"angle\" \"90\"}"
      "{\"classname\" \"func_door\" \"model\" \"*1\"}"
      "{\"classname\" \"func_door\" \"model\" \"*99999\"}"
      "{\"classname\" \"info_player_start\" \"origin\" \"1 2\"}"
      "{\"classname\" \"misc_model\" \"origin\" \"0 0 0\" \"angles\" \"0 45 0\" \"model\" \"models/x.md3\"}")
      .Entities;
  const std::vector<TBSPModel> models = {{}, {{0, 0, 0}, {64, 32, 16}, 0, 6, 0, 1}};
  std::vector<std::string> warnings;
  const std::vector<TPlacedEntity> places = PlaceEntities(entities, models, warnings);
  ASSERT_EQ(places.size(), 3u);
  EXPECT_EQ(places[0].Index, 1);
  EXPECT_EQ(places[0].Family, TEntityFamily::Item);
  EXPECT_EQ(places[0].Angle, 90);
  EXPECT_EQ(places[1].Position.X, 32);
  EXPECT_EQ(places[1].HalfSize.Y, 16);
  EXPECT_FALSE(places[1].Point);
  EXPECT_EQ(places[2].Angle, 45);
  EXPECT_EQ(warnings, (std::vector<std::string>{
                          "entity 3 (func_door): model *99999 is not one of the level's 1 brush models",
                          "entity 4 (info_player_start): origin \"1 2\" is not three numbers"}));

  std::string why;
  EXPECT_EQ(FindPlace(places, "5", why), 2u);
  EXPECT_EQ(FindPlace(places, "FUNC_DOOR:1", why), 1u);
  EXPECT_FALSE(FindPlace(places, "func_door:2", why));
  EXPECT_EQ(why, "the level has 1 func_door with a place");
  EXPECT_FALSE(FindPlace(places, "item_quad:0", why));
  EXPECT_FALSE(FindPlace(places, "0", why));
  EXPECT_EQ(why, "entity 0 is not an entity with a place (--entities lists them)");
}

TEST(Places, Families) {
  const std::pair<const char*, TEntityFamily> cases[] = {
      {"info_player_deathmatch", TEntityFamily::SpawnPoint}, {"team_CTF_redspawn", TEntityFamily::SpawnPoint},
      {"weapon_railgun", TEntityFamily::Weapon},            {"ammo_slugs", TEntityFamily::Ammo},
      {"item_health_mega", TEntityFamily::HealthArmour},    {"item_armor_shard", TEntityFamily::HealthArmour},
      {"item_quad", TEntityFamily::Item},                    {"team_CTF_blueflag", TEntityFamily::Item},
      {"item_botroam", TEntityFamily::Other},                {"light", TEntityFamily::Light},
      {"target_location", TEntityFamily::TeleportTarget},    {"misc_teleporter_dest", TEntityFamily::TeleportTarget},
      {"trigger_push", TEntityFamily::Trigger},              {"func_door", TEntityFamily::Other}};
  for (const auto& [name, family] : cases) EXPECT_EQ(FamilyOf(name), family) << name;
}

TEST(Places, ViewDirectionAndNearest) {
  const TVector ahead = ViewDirection(90, 270);  // along +X, level
  EXPECT_NEAR(ahead.X, 1, 1e-6);
  EXPECT_NEAR(ahead.Z, 0, 1e-6);
  std::vector<TPlacedEntity> places(3);
  places[0].Position = {100, 0, 0};
  places[1].Position = {100, 30, 0};
  places[2].Position = {-100, 0, 0};
  places[0].Point = false;
  EXPECT_EQ(PlaceNearestView(places, {0, 0, 0}, ahead, false), 0u);
  EXPECT_EQ(PlaceNearestView(places, {0, 0, 0}, ahead, true), 1u);
  EXPECT_FALSE(PlaceNearestView(places, {0, 0, 0}, ViewDirection(0, 270), false)) << "nothing within 30 degrees";
}

TEST(Md3, RoundTrip) {
  testsupport::TMd3Writer writer;
  writer.Surfaces = {testsupport::TMd3Writer::Square(16, "models/test/one.tga")};
  const TMd3Model model = ParseMd3(writer.Bytes());
  ASSERT_EQ(model.Surfaces.size(), 1u);
  const TMd3Surface& s = model.Surfaces[0];
  EXPECT_EQ(s.Shader, "models/test/one.tga");
  EXPECT_EQ(s.Positions[2].X, 8);
  EXPECT_EQ(s.Indices, (std::vector<std::uint32_t>{0, 3, 2, 0, 2, 1}));
  EXPECT_NEAR(s.Normals[0].Z, 1, 1e-6);
  EXPECT_TRUE(model.Warnings.empty());
  const double quarter = 64 * 2 * std::numbers::pi / 255;
  EXPECT_NEAR(Md3Normal(0x40 << 8 | 0x40).Y, std::sin(quarter) * std::sin(quarter), 1e-6);
}

TEST(Md3, HostileFiles) {
  using testsupport::PutInt32;
  testsupport::TMd3Writer writer;
  writer.Surfaces = {testsupport::TMd3Writer::Square(16), testsupport::TMd3Writer::Square(8)};
  const std::vector<std::uint8_t> good = writer.Bytes();
  const std::size_t second = writer.SurfaceAt(1);
  struct TCase {
    const char* Name;
    std::function<void(std::vector<std::uint8_t>&)> Bend;
    const char* Error;     // the refusal, or "" when the model is read
    std::size_t Surfaces;  // kept
    const char* Warning;   // the first warning, or ""
  } cases[] = {
      {"frame count of 2^31", [](auto& b) { PutInt32(b, 76, INT32_MIN); }, "frame count -2147483648 outside 1..1024", 0, ""},
      {"1025 frames", [](auto& b) { PutInt32(b, 76, 1025); }, "frame count 1025 outside 1..1024", 0, ""},
      {"33 surfaces", [](auto& b) { PutInt32(b, 84, 33); }, "surface count 33 outside 0..32", 0, ""},
      {"not IDP3", [](auto& b) { b[0] = 'X'; }, "not an MD3 model (no IDP3 at its start)", 0, ""},
      {"surfaces past the end", [](auto& b) { PutInt32(b, 100, 1 << 30); }, "", 0,
       "surface 0 and those after it lie outside the file: skipped"},
      {"a third surface promised", [](auto& b) { PutInt32(b, 84, 3); }, "", 2,
       "surface 2 and those after it lie outside the file: skipped"},
      {"NaN texture coordinate", [&](auto& b) { testsupport::PutFloat(b, second + 108 + 68 + 24, NAN); }, "", 1,
       "surface 1 (body): vertex 0 has texture coordinates that are not numbers: skipped"},
      {"triangle past its vertices", [&](auto& b) { PutInt32(b, second + 108 + 68, 4); }, "", 1,
       "surface 1 (body): triangle 0 names vertex 4 of 4: skipped"},
      {"vertex count 4097", [&](auto& b) { PutInt32(b, second + 80, 4097); }, "", 1,
       "surface 1 (body): vertex count 4097 outside 0..4096: skipped"},
      {"a surface size of 0", [&](auto& b) { PutInt32(b, writer.SurfaceAt(0) + 104, 0); }, "", 1,
       "surfaces after surface 0: its size is unusable: skipped"},
  };
  for (const TCase& c : cases) {
    std::vector<std::uint8_t> bytes = good;
    c.Bend(bytes);
    try {
      const TMd3Model model = ParseMd3(bytes);
      EXPECT_STREQ("", c.Error) << c.Name;
      EXPECT_EQ(model.Surfaces.size(), c.Surfaces) << c.Name;
      EXPECT_EQ(model.Warnings.empty() ? "" : model.Warnings[0], c.Warning) << c.Name;
    } catch (const EMd3Error& e) {
      EXPECT_EQ(e.what(), std::string(c.Error)) << c.Name;
    }
  }
  EXPECT_THROW(ParseMd3(std::vector<std::uint8_t>(good.begin(), good.begin() + 100)), EMd3Error);
}

TEST(Md3, SkinLines) {
  const auto skin = ParseSkin("tag_weapon,\r\nFlag,models/flags/r_flag.tga\n\nPole , models/flags/pole.tga \n");
  EXPECT_EQ(skin.size(), 2u);
  EXPECT_EQ(skin.at("flag"), "models/flags/r_flag.tga");
  EXPECT_EQ(skin.at("pole"), "models/flags/pole.tga");
}

TEST(Items, TableNamesModelsOfTheGameData) {
  EXPECT_STREQ(FindItemKind("item_health")->Models[1], "models/powerups/health/medium_sphere.md3");
  EXPECT_EQ(FindItemKind("item_botroam"), nullptr);
  for (const TItemKind& kind : OpenArenaItems()) {
    EXPECT_NE(FamilyOf(kind.ClassName), TEntityFamily::Other) << kind.ClassName;
    EXPECT_TRUE(std::string(kind.Models[0]).ends_with(".md3")) << kind.ClassName;
  }
}

// The viewer's shared items place the very arrays the copied ones hold (so its pictures stay the
// same), only the admitted ones, and never more vertices than a frame may draw.
TEST(Items, SharedItemsPlaceWhatCopiesHeld) {
  testsupport::TMd3Writer writer;
  writer.Surfaces = {testsupport::TMd3Writer::Square(16), testsupport::TMd3Writer::Square(8)};
  const TMd3Model model = ParseMd3(writer.Bytes());
  const std::vector<std::size_t> groups{0, 1};
  TItemModels copied, shared;
  for (TItemModels* items : {&copied, &shared}) items->Groups.resize(2);
  const std::vector<std::size_t> meshes = AddItemMeshes(shared, model, groups);
  const auto shade = [](const TVector& n) { return std::array<std::uint8_t, 4>{9, static_cast<std::uint8_t>(n.Z * 99), 7, 255}; };
  struct TItem { TVector Place; float Angle; std::int32_t Cluster; };
  for (const TItem& item : {TItem{{24, 40, 3}, 45, 0}, TItem{{-8, 1e3f, 0}, 271.5f, 2}, TItem{{5, 5, 5}, 0, 0}}) {
    AddItemInstance(copied, model, groups, item.Place, item.Angle, item.Cluster, item.Cluster == 2 ? TItemShade{} : shade);
    ShareItemInstance(shared, model, groups, meshes, item.Place, item.Angle, item.Cluster,
                      item.Cluster == 2 ? TItemShade{} : shade);
  }
  PlaceSharedItems(shared, [](std::int32_t) { return true; });
  for (std::size_t g = 0; g < 2; ++g) {
    const TItemGroup &a = copied.Groups[g], &b = shared.Groups[g];
    EXPECT_EQ(std::memcmp(a.Positions.data(), b.Positions.data(), a.Positions.size() * sizeof(TVector)), 0);
    EXPECT_EQ(a.Positions.size(), b.Positions.size());
    EXPECT_EQ(a.Colours, b.Colours);
    EXPECT_EQ(a.Indices, b.Indices);
    EXPECT_EQ(a.Runs.size(), b.Runs.size());
  }
  EXPECT_EQ(shared.Groups[0].Meshes.size(), 1u) << "the model's arrays once";
  PlaceSharedItems(shared, [](std::int32_t cluster) { return cluster == 2; });
  ASSERT_EQ(shared.Groups[0].Runs.size(), 1u);
  EXPECT_EQ(shared.Groups[0].Runs[0].Cluster, 2);

  // A level that admits more than a frame may draw: placed up to the bound, the rest counted.
  const std::size_t each = model.Surfaces[0].Positions.size() + model.Surfaces[1].Positions.size();
  const std::size_t most = kMostItemVerticesDrawn / each;
  for (std::size_t i = shared.Groups[0].Instances.size(); i < most + 3; ++i)
    ShareItemInstance(shared, model, groups, meshes, {}, 0, 0);
  PlaceSharedItems(shared, [](std::int32_t) { return true; });
  EXPECT_EQ(shared.Groups[0].Positions.size() + shared.Groups[1].Positions.size(), most * each);
  EXPECT_EQ(shared.LeftOutOfFrame, 6u);
}

}  // namespace

namespace {

// Links from target to every targetname, and trigger boxes from the brushes' axial sides: a whole
// box moved by the entity's origin; a brush short of an axial side or outside its lump gives the
// model's box instead.
TEST(EntityLinks, TargetsAndTriggerVolumes) {
  TQuake3BSP level;
  const TVector axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  for (int a = 0; a < 3; ++a) {
    testsupport::AddPlane(level, axes[a], 30.0f + static_cast<float>(a));  // max 30 31 32
    testsupport::AddPlane(level, {-axes[a].X, -axes[a].Y, -axes[a].Z}, -10);  // min 10
  }
  // Brush 0: the six planes; brush 1: five of them; brush 2 lies outside the lump.
  const std::int32_t brushes[] = {0, 6, 0, 0, 5, 0};
  const std::int32_t sides[] = {0, 0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0};
  std::vector<std::uint8_t> bytes(sizeof brushes + sizeof sides);
  std::memcpy(bytes.data(), brushes, sizeof brushes);
  std::memcpy(bytes.data() + sizeof brushes, sides, sizeof sides);
  std::array<TBSPLump, kLumpCount> lumps{};
  lumps[kBrushes] = {0, static_cast<std::int32_t>(sizeof brushes)};
  lumps[kBrushSides] = {static_cast<std::int32_t>(sizeof brushes), static_cast<std::int32_t>(sizeof sides)};
  TLevelThings& things = level.Things;
  things.Entities = ReadEntityText(
      "{\"classname\" \"trigger_multiple\" \"model\" \"*1\" \"origin\" \"100 0 0\" \"target\" \"t1\"}"
      "{\"classname\" \"target_speaker\" \"origin\" \"0 0 0\" \"targetname\" \"t1\"}"
      "{\"classname\" \"func_door\" \"model\" \"*1\" \"targetname\" \"t1\"}"
      "{\"classname\" \"trigger_hurt\" \"model\" \"*2\" \"target\" \"nobody\"}"
      "{\"classname\" \"trigger_push\" \"model\" \"*3\"}");
  const TVector mins{0, 0, 0}, maxs{40, 40, 40};
  things.Models = {{}, {mins, maxs, 0, 0, 0, 1}, {mins, maxs, 0, 0, 1, 1}, {mins, maxs, 0, 0, 2, 1}};
  std::vector<std::string> warnings;
  things.Places = PlaceEntities(things.Entities.Entities, things.Models, warnings);
  ASSERT_EQ(things.Places.size(), 5u);
  const std::vector<TEntityLink> links = FindEntityLinks(things.Entities.Entities, things.Places);
  ASSERT_EQ(links.size(), 2u);
  EXPECT_TRUE(links[0].From == 0 && links[1].From == 0);
  EXPECT_EQ(links[0].To + links[1].To, 1 + 2);
  const std::vector<TTriggerBox> boxes = FindTriggerBoxes(level, bytes, lumps);
  ASSERT_EQ(boxes.size(), 3u) << "the door is no trigger";
  const auto same = [](const TVector& a, const TVector& b) { return a.X == b.X && a.Y == b.Y && a.Z == b.Z; };
  EXPECT_EQ(boxes[0].Place, 0);
  EXPECT_TRUE(same(boxes[0].Mins, {110, 10, 10}) && same(boxes[0].Maxs, {130, 31, 32})) << "moved by the origin";
  EXPECT_TRUE(same(boxes[1].Mins, mins) && same(boxes[1].Maxs, maxs)) << "five sides: the model's box";
  EXPECT_TRUE(same(boxes[2].Mins, mins) && same(boxes[2].Maxs, maxs)) << "outside the lump: the model's box";
}

}  // namespace
