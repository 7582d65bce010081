#include "platform/Messages.h"

#include <cstdio>

namespace platform {
namespace {

// Where messages go when nothing else was asked for: standard error, until the program puts its
// message boxes here (window/MessageBox.h), so that the rooms without a display link no SDL.
TMessageTarget& DefaultTarget() {
  static TMessageTarget target = MessageToStandardError;
  return target;
}

TMessageTarget& Target() {
  static TMessageTarget target = DefaultTarget();
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
  Target() = target ? std::move(target) : DefaultTarget();
  return previous;
}

void SetDefaultMessageTarget(TMessageTarget target) {
  DefaultTarget() = std::move(target);
  Target() = DefaultTarget();
}

TScopedMessageTarget::TScopedMessageTarget(TMessageTarget target) : Previous(SetMessageTarget(std::move(target))) {}

TScopedMessageTarget::~TScopedMessageTarget() { SetMessageTarget(std::move(Previous)); }

}  // namespace platform
