#pragma once
// What walking needs of a level, read once from its file: the collision model and the triggers.
// Shared by the viewer's walk mode and the runs that answer without a window. Pure.
#include <string>
#include <string_view>
#include <vector>

#include "level/LevelFile.h"
#include "physics/Collision.h"
#include "physics/Movers.h"
#include "physics/Player.h"

namespace physics {

struct TWalkLevel {
  TCollisionWorld World;
  TMovers Movers;
};

// Raises what ParseBSP raises for records that contradict each other.
TWalkLevel ReadWalkLevel(const TLevelFile& file);

// "solid", "playerclip,trigger", "none": the contents bits a person may care about, by name.
std::string ContentsText(std::int32_t contents);

// One line of a walk path.
struct TWalkMove {
  enum class TKind { Forward, Back, Left, Right, Jump, Crouch, Turn, Wait };
  TKind Kind = TKind::Wait;
  float Amount = 0;  // seconds, or degrees for Turn
  std::string Text;  // the line as written, trimmed
};

// A path's longest total time, and its most lines: a hostile file costs at most this much.
inline constexpr float kMostPathSeconds = 600;
inline constexpr std::size_t kMostPathMoves = 10000;

// The moves of a walk-path file: one per line, blank lines and lines from '#' on ignored:
// forward|back|left|right SECONDS, jump, crouch, turn DEGREES (to the left), wait SECONDS.
// Raises std::invalid_argument "line N: ..." naming the first wrong line.
std::vector<TWalkMove> ParseWalkPath(std::string_view text);

// Carries the move out: a key held for its seconds (whole 8 ms steps, at least one), one step
// with the jump pressed, the heading turned, or crouching switched on or off for the moves after
// it (standing up waits for room). `crouching` holds that switch between moves.
void RunWalkMove(const TWalkLevel& level, TPlayer& player, bool& crouching, const TWalkMove& move,
                 TStepReport& report);

// Steps without a key until the player stands still on the ground (or is in water and no longer
// sinking), at most `seconds` of steps; true when it came to rest.
bool SettlePlayer(const TWalkLevel& level, TPlayer& player, float seconds, TStepReport& report);

}  // namespace physics
