#pragma once
// Modal message boxes, the one way loaders and start-up tell the user about a failure.
// The target is replaceable so that tests can capture what would have been shown and
// so that headless runs can send it to standard error instead.
#include <functional>
#include <string>

namespace platform {

enum class TMessageIcon { None, Error };

using TMessageTarget =
    std::function<void(const std::string& text, const std::string& caption, TMessageIcon icon)>;

// Shows one modal box with an OK button and no owner window, and returns when it is closed.
void ShowMessage(const std::string& text, const std::string& caption,
                 TMessageIcon icon = TMessageIcon::None);

// Replaces where messages go; returns the previous target. An empty target restores the default:
// standard error, or what SetDefaultMessageTarget made the default (the program's message boxes).
TMessageTarget SetMessageTarget(TMessageTarget target);

// Makes `target` the default and the present target; the program calls it once at start, through
// window/MessageBox.h, so that only the rooms with a display link SDL for the boxes.
void SetDefaultMessageTarget(TMessageTarget target);

// Sends the messages to `target` while the guard lives; the target before it comes back after.
class TScopedMessageTarget {
 public:
  explicit TScopedMessageTarget(TMessageTarget target);
  ~TScopedMessageTarget();
  TScopedMessageTarget(const TScopedMessageTarget&) = delete;
  TScopedMessageTarget& operator=(const TScopedMessageTarget&) = delete;

 private:
  TMessageTarget Previous;
};

// Writes "bspwalk: caption: text" to standard error, beginning as every other line the program
// writes there begins ("bspwalk: text" when the caption is the program's name); the target for
// runs with nobody to close a box, and where a box cannot be shown.
void MessageToStandardError(const std::string& text, const std::string& caption, TMessageIcon icon);

}  // namespace platform
