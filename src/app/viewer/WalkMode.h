#pragma once
// Walking in the viewer: V switches between flying and walking as the player (physics/Player.h),
// --walk starts walking; Shift holds four times the speed in both, the mouse wheel changes the
// flying speed. Flying without Shift or the wheel moves exactly as the design's keys always have.
#include <cstdint>
#include <string>

#include "camera/CameraClass.h"

namespace app {

inline constexpr std::uint16_t VK_SHIFT = 16, VK_V = 86;

struct TViewerState;  // app/viewer/ViewModes.h

// Speed of Shift, in both modes.
inline constexpr float kShiftSpeedFactor = 4;
// Each wheel notch multiplies the flying speed by this, within kLeast.. kMostWheelFactor.
inline constexpr float kWheelStep = 1.25f, kLeastWheelFactor = 0.125f, kMostWheelFactor = 8;

// --walk: the first frame starts walking where the camera is.
void RequestWalkingAtStart();

// V on its first down event: walking starts at the camera (the level's collision read from
// state.LevelPath), or flying resumes where the player's eye is. A start inside solid, or a level
// whose brushes cannot be read, keeps flying with a note in `state`. False for any other key.
bool HandleWalkKey(std::uint16_t key, bool wasDown, TCamera& camera, TViewerState& state, float now);

// The wheel turned by `notches` (up positive): the flying speed up or down.
void HandleWheel(int notches);

// The frame's movement from the keys, dt milliseconds: the player's fixed steps while walking
// (the camera put at its eye), else the fly keys at the speed Shift and the wheel give.
void MoveFromKeys(float dt, TCamera& camera, TViewerState& state);

// While walking, the view is kept between straight up and straight down.
void KeepWalkingPitch(TCamera& camera);

// What the heads-up line adds: empty until V, --walk or the wheel is first used; then "walking"
// (with the trigger last touched) or "flying" with its speed.
std::string WalkHudText();

// The fly speed factor of Shift and the wheel now (1 with neither).
float FlySpeedFactor();

}  // namespace app
