#include "platform/Messages.h"

#include <SDL.h>

#include <cstdio>

namespace platform {
namespace {

void ShowMessageBox(const std::string& text, const std::string& caption, TMessageIcon icon) {
  const Uint32 flags = icon == TMessageIcon::Error ? SDL_MESSAGEBOX_ERROR : 0;
  // SDL can fail to show a box (no display, no X core fonts and no zenity); the text must still
  // reach the person, so it goes to standard error then.
  if (SDL_ShowSimpleMessageBox(flags, caption.c_str(), text.c_str(), nullptr) != 0)
    MessageToStandardError(text, caption, icon);
}

TMessageTarget& Target() {
  static TMessageTarget target = ShowMessageBox;
  return target;
}

}  // namespace

void MessageToStandardError(const std::string& text, const std::string& caption, TMessageIcon) {
  // The program's own messages already have its name as their caption.
  if (caption == "bspwalk")
    std::fprintf(stderr, "bspwalk: %s\n", text.c_str());
  else
    std::fprintf(stderr, "bspwalk: %s: %s\n", caption.c_str(), text.c_str());
  std::fflush(stderr);
}

void ShowMessage(const std::string& text, const std::string& caption, TMessageIcon icon) {
  Target()(text, caption, icon);
}

TMessageTarget SetMessageTarget(TMessageTarget target) {
  TMessageTarget previous = std::move(Target());
  Target() = target ? std::move(target) : TMessageTarget(ShowMessageBox);
  return previous;
}

TScopedMessageTarget::TScopedMessageTarget(TMessageTarget target) : Previous(SetMessageTarget(std::move(target))) {}

TScopedMessageTarget::~TScopedMessageTarget() { SetMessageTarget(std::move(Previous)); }

}  // namespace platform
