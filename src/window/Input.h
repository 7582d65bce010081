#pragma once
// The polled inputs of the program: the millisecond tick count and the global cursor position.
// Both sources are replaceable, so that the frame loop and mouse look can be driven by a fake
// clock and a fake cursor in tests.
#include <cstdint>
#include <functional>

namespace platform {

struct TPoint {
  int X = 0;
  int Y = 0;
};

// Milliseconds since SDL started counting, as an unsigned 32-bit value that returns to 0 after
// 2^32 ms.
std::uint32_t GetTickCount();

using TTickSource = std::function<std::uint32_t()>;

// Replaces the tick source; returns the previous one. An empty source restores SDL's clock.
TTickSource SetTickSource(TTickSource source);

// The cursor position in screen pixels, and moving it there.
TPoint GetCursorPos();
void SetCursorPos(int x, int y);

struct TCursorSource {
  std::function<TPoint()> Get;
  std::function<void(TPoint)> Set;
};

// Replaces where the cursor is read and moved; returns the previous source. An empty source
// (either function missing) restores the desktop's global cursor.
TCursorSource SetCursorSource(TCursorSource source);

// Mouse look for a window on the desktop: SDL's relative mouse mode (the pointer stays with the
// window while it has the focus and is not warped to a screen point; the desktop has it back when
// the focus goes). The source reports `home` plus the motion since the last reading and moves
// nothing; its first reading is `home`, so whatever the pointer did before the first frame turns
// nothing.
void SetRelativeMouseMode(bool on);
TCursorSource RelativeCursorSource(TPoint home);

// A source that reports `home` at its first reading and reads `inner` from then on; moving goes
// to `inner` throughout. Mouse look about a screen point then turns nothing on the first frame,
// wherever the pointer was, and brings the pointer home as always.
TCursorSource HomeAtFirstReading(TCursorSource inner, TPoint home);

// Hides or shows the cursor over the program's windows.
void ShowCursor(bool show);

}  // namespace platform
