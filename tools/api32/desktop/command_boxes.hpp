// command_boxes.hpp - message boxes for the reference host's desktop commands.
#pragma once

#include <memory>

#include "api32/desktop_win32/gtk_presenter.hpp"
#include "api32/runtime/message_box.hpp"

namespace api32::desktop {

/// Makes message boxes GTK dialogs while a command runs, unless the host installed a presenter of its own
/// (the default one writes to stderr); the previous presenter comes back afterwards.
class command_boxes {
public:
  command_boxes() : previous_(current_message_presenter()) {
    if (dynamic_cast<stderr_presenter*>(previous_.get()) != nullptr) install_gtk_presenter();
  }
  ~command_boxes() { set_message_presenter(previous_); }
  command_boxes(const command_boxes&) = delete;
  command_boxes& operator=(const command_boxes&) = delete;

private:
  std::shared_ptr<message_presenter> previous_;
};

}  // namespace api32::desktop
