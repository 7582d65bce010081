#include "window/Input.h"

#include <SDL.h>

#include <memory>
#include <utility>

namespace platform {
namespace {

std::uint32_t SdlTicks() { return SDL_GetTicks(); }

TPoint GlobalCursor() {
  TPoint point;
  SDL_GetGlobalMouseState(&point.X, &point.Y);
  return point;
}

void WarpGlobalCursor(TPoint point) { SDL_WarpMouseGlobal(point.X, point.Y); }

TTickSource& Ticks() {
  static TTickSource source = SdlTicks;
  return source;
}

TCursorSource& Cursor() {
  static TCursorSource source{GlobalCursor, WarpGlobalCursor};
  return source;
}

}  // namespace

std::uint32_t GetTickCount() { return Ticks()(); }

TTickSource SetTickSource(TTickSource source) {
  TTickSource previous = std::move(Ticks());
  Ticks() = source ? std::move(source) : TTickSource(SdlTicks);
  return previous;
}

TPoint GetCursorPos() { return Cursor().Get(); }

void SetCursorPos(int x, int y) { Cursor().Set({x, y}); }

TCursorSource SetCursorSource(TCursorSource source) {
  TCursorSource previous = std::move(Cursor());
  if (source.Get && source.Set)
    Cursor() = std::move(source);
  else
    Cursor() = TCursorSource{GlobalCursor, WarpGlobalCursor};
  return previous;
}

void SetRelativeMouseMode(bool on) { SDL_SetRelativeMouseMode(on ? SDL_TRUE : SDL_FALSE); }

TCursorSource RelativeCursorSource(TPoint home) {
  auto first = std::make_shared<bool>(true);
  return {[home, first] {
            int dx = 0, dy = 0;
            SDL_GetRelativeMouseState(&dx, &dy);
            if (*first) {
              *first = false;
              return home;
            }
            return TPoint{home.X + dx, home.Y + dy};
          },
          [](TPoint) {}};
}

TCursorSource HomeAtFirstReading(TCursorSource inner, TPoint home) {
  auto first = std::make_shared<bool>(true);
  return {[get = std::move(inner.Get), home, first] {
            if (!*first) return get();
            *first = false;
            return home;
          },
          std::move(inner.Set)};
}

void ShowCursor(bool show) { SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE); }

}  // namespace platform
