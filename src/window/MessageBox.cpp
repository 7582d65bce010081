#include "window/MessageBox.h"

#include <SDL.h>

namespace platform {

void ShowMessageBox(const std::string& text, const std::string& caption, TMessageIcon icon) {
  const Uint32 flags = icon == TMessageIcon::Error ? SDL_MESSAGEBOX_ERROR : 0;
  // The text must still reach the person when no box can be shown.
  if (SDL_ShowSimpleMessageBox(flags, caption.c_str(), text.c_str(), nullptr) != 0)
    MessageToStandardError(text, caption, icon);
}

void UseMessageBoxes() { SetDefaultMessageTarget(ShowMessageBox); }

}  // namespace platform
