// gtk_presenter.hpp - message boxes as GTK modal dialogs, and how a host chooses them.
#pragma once

#include <cstdint>

#include "api32/runtime/message_box.hpp"

namespace api32::desktop {

/// Shows each box as a GtkMessageDialog (title, text, the icon as a GTK message type, one OK button), modal
/// to the owner window when one is set, else to the process's active window, and returns when it is closed.
/// Runs on the GTK thread.
class gtk_presenter final : public message_presenter {
public:
  /// `owner`: the handle of the window the boxes belong to; 0 picks the active window at each box.
  explicit gtk_presenter(std::uint32_t owner = 0) : owner_(owner) {}
  void show(const message& box) override;

private:
  std::uint32_t owner_;
};

/// Makes message boxes GTK dialogs when a display can be opened (gtk_init_check) and returns true; otherwise
/// leaves the current presenter (stderr by default) in place and returns false. Never ends the process.
bool install_gtk_presenter(std::uint32_t owner = 0);

}  // namespace api32::desktop
