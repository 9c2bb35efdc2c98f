// w_settings.hpp - the host's settings window: the ancestor of the add-on download window, with the two
// buttons `ok` ("OK") and `back` ("BACK").
//
// Creating the window makes the buttons; descendants add their controls in their own constructors and run
// w_settings::open_event() first in theirs. Both buttons close the window unless a descendant decides
// otherwise (ok_clicked, back_clicked).
#pragma once

#include <string>

#include "api32/desktop_win32/window.hpp"

namespace api32 {

class w_settings : public window {
public:
  /// The settings window's own size, in window units.
  static constexpr int default_width = 2400;
  static constexpr int default_height = 1200;

  /// Button placement, in window units: x, y, width, height.
  struct placement {
    int x, y, width, height;
  };
  static constexpr placement ok_placement{2007, 1032, 347, 84};
  static constexpr placement back_placement{46, 1028, 347, 84};

  explicit w_settings(std::string title = "", int width_units = default_width, int height_units = default_height);

  /// The buttons (GtkButton), or null without a display.
  GtkWidget* ok() const { return ok_; }
  GtkWidget* back() const { return back_; }

protected:
  void open_event() override;
  /// What the buttons do; both close the window here.
  virtual void ok_clicked();
  virtual void back_clicked();

private:
  GtkWidget* ok_ = nullptr;
  GtkWidget* back_ = nullptr;
};

}  // namespace api32
