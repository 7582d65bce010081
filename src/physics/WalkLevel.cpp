// The level read for walking, the contents named, and walk paths read and carried out.
#include "physics/WalkLevel.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

#include "level/BSPFile.h"
#include "level/BrushModels.h"
#include "level/Entities.h"

namespace physics {

TWalkLevel ReadWalkLevel(const TLevelFile& file) {
  const TBSPFile records = ParseBSP(file.Data());
  TWalkLevel level;
  level.World = TCollisionWorld(file.Data(), records.Nodes, records.Leaves, records.Planes, records.Textures,
                                records.Faces, records.Vertices);
  level.Movers = TMovers(ParseEntities(file.EntitiesText()), ReadModels(file.Data(), records.Faces.size()));
  return level;
}

std::string ContentsText(std::int32_t contents) {
  static const std::pair<std::int32_t, const char*> kNames[] = {
      {kContentsSolid, "solid"}, {kContentsLava, "lava"},     {kContentsSlime, "slime"},
      {kContentsWater, "water"}, {kContentsFog, "fog"},       {kContentsPlayerClip, "playerclip"},
      {kContentsTrigger, "trigger"}};
  std::string text;
  for (const auto& [bit, name] : kNames)
    if (contents & bit) text += (text.empty() ? "" : ",") + std::string(name);
  return text.empty() ? "none" : text;
}

namespace {

std::string_view Trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

TWalkMove ParseMove(std::string_view line) {
  static const std::pair<const char*, TWalkMove::TKind> kWords[] = {
      {"forward", TWalkMove::TKind::Forward}, {"back", TWalkMove::TKind::Back},
      {"left", TWalkMove::TKind::Left},       {"right", TWalkMove::TKind::Right},
      {"jump", TWalkMove::TKind::Jump},       {"crouch", TWalkMove::TKind::Crouch},
      {"turn", TWalkMove::TKind::Turn},       {"wait", TWalkMove::TKind::Wait}};
  const std::size_t blank = line.find_first_of(" \t");
  const std::string_view word = line.substr(0, blank);
  const std::string_view rest = blank == std::string_view::npos ? std::string_view{} : Trim(line.substr(blank));
  TWalkMove move;
  move.Text = std::string(line);
  bool known = false;
  for (const auto& [name, kind] : kWords)
    if (word == name) {
      move.Kind = kind;
      known = true;
    }
  if (!known)
    throw std::invalid_argument("'" + move.Text + "' is not a move (forward, back, left, right SECONDS; jump; "
                                "crouch; turn DEGREES; wait SECONDS)");
  const bool takesAmount = move.Kind != TWalkMove::TKind::Jump && move.Kind != TWalkMove::TKind::Crouch;
  if (!takesAmount) {
    if (!rest.empty()) throw std::invalid_argument("'" + move.Text + "': " + std::string(word) + " takes no number");
    return move;
  }
  const std::optional<float> amount = ParseNumber(rest);
  const bool seconds = move.Kind != TWalkMove::TKind::Turn;
  if (!amount || (seconds && !(*amount >= 0 && *amount <= kMostPathSeconds)) ||
      (!seconds && std::fabs(*amount) > 36000))
    throw std::invalid_argument("'" + move.Text + "': " + std::string(word) +
                                (seconds ? " needs SECONDS from 0 to 600" : " needs DEGREES"));
  move.Amount = *amount;
  return move;
}

}  // namespace

std::vector<TWalkMove> ParseWalkPath(std::string_view text) {
  std::vector<TWalkMove> moves;
  float total = 0;
  std::size_t lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    line = Trim(line.substr(0, line.find('#')));
    if (line.empty()) continue;
    try {
      moves.push_back(ParseMove(line));
    } catch (const std::invalid_argument& e) {
      throw std::invalid_argument("line " + std::to_string(lineNumber) + ": " + e.what());
    }
    if (moves.back().Kind != TWalkMove::TKind::Turn) total += moves.back().Amount;
    if (total > kMostPathSeconds || moves.size() > kMostPathMoves)
      throw std::invalid_argument("line " + std::to_string(lineNumber) + ": the path is longer than 600 seconds or "
                                  "10000 moves");
  }
  return moves;
}

void RunWalkMove(const TWalkLevel& level, TPlayer& player, bool& crouching, const TWalkMove& move,
                 TStepReport& report) {
  TMoveInput input;
  input.Crouch = crouching;
  switch (move.Kind) {
    case TWalkMove::TKind::Turn:
      player.Yaw = std::fmod(player.Yaw + move.Amount, 360.0f);
      return;
    case TWalkMove::TKind::Crouch:
      crouching = !crouching;
      input.Crouch = crouching;
      StepPlayer(level.World, &level.Movers, player, input, &report);
      return;
    case TWalkMove::TKind::Jump:
      input.Jump = true;
      StepPlayer(level.World, &level.Movers, player, input, &report);
      return;
    case TWalkMove::TKind::Forward: input.Forward = 1; break;
    case TWalkMove::TKind::Back: input.Forward = -1; break;
    case TWalkMove::TKind::Left: input.Side = -1; break;
    case TWalkMove::TKind::Right: input.Side = 1; break;
    case TWalkMove::TKind::Wait: break;
  }
  const long steps = std::max(1L, std::lround(move.Amount / kStepSeconds));
  for (long step = 0; step < steps; ++step) StepPlayer(level.World, &level.Movers, player, input, &report);
}

bool SettlePlayer(const TWalkLevel& level, TPlayer& player, float seconds, TStepReport& report) {
  const long steps = std::lround(seconds / kStepSeconds);
  int still = 0;
  for (long step = 0; step < steps; ++step) {
    StepPlayer(level.World, &level.Movers, player, TMoveInput{}, &report);
    const bool resting = (player.OnGround || player.WaterLevel >= 2) && std::fabs(player.Velocity.X) < 1 &&
                         std::fabs(player.Velocity.Y) < 1 && std::fabs(player.Velocity.Z) < 1;
    still = resting ? still + 1 : 0;
    if (still >= 3) return true;
  }
  return false;
}

}  // namespace physics
