// gui_driver.hpp - drives GTK dialogs from inside the test process: a poller on the GTK main loop (which the
// dialog's own modal loop runs) finds the dialog, acts on it and answers it. Every driver gives up after
// its time limit and answers "cancel" then, so no test can hang on a dialog.
#pragma once

#include <gtk/gtk.h>

#include <cstddef>
#include <string>

namespace api32::testing {

/// Initialises GTK for the GUI tests: false when no display can be opened.
bool gui_available();

/// The first mapped top-level of `type`, or null.
GtkWidget* find_mapped_toplevel(GType type);

/// Answers the next open-file dialog: shows `folder`, waits until its file list has `rows` rows, selects them
/// all and accepts; or cancels when `accept` is false.
class chooser_driver {
public:
  chooser_driver(std::string folder, std::size_t rows, bool accept = true);
  ~chooser_driver();
  chooser_driver(const chooser_driver&) = delete;
  chooser_driver& operator=(const chooser_driver&) = delete;

  bool answered() const { return answered_; }
  bool timed_out() const { return timed_out_; }
  /// The dialog's title, as it was seen.
  const std::string& title() const { return title_; }
  /// The rows the list last had.
  std::size_t rows_seen() const { return rows_seen_; }

private:
  static gboolean tick(gpointer self);
  bool step();

  std::string folder_;
  std::size_t rows_;
  bool accept_;
  bool folder_set_ = false;
  bool answered_ = false;
  bool timed_out_ = false;
  std::string title_;
  std::size_t rows_seen_ = 0;
  gint64 deadline_;
  guint source_ = 0;
};

/// Answers the next message box with OK, after reading it.
class message_box_driver {
public:
  message_box_driver();
  ~message_box_driver();
  message_box_driver(const message_box_driver&) = delete;
  message_box_driver& operator=(const message_box_driver&) = delete;

  bool answered() const { return answered_; }
  bool timed_out() const { return timed_out_; }
  const std::string& title() const { return title_; }
  const std::string& text() const { return text_; }
  GtkMessageType type() const { return type_; }
  bool modal() const { return modal_; }
  GtkWindow* transient_for() const { return transient_for_; }

private:
  static gboolean tick(gpointer self);

  bool answered_ = false;
  bool timed_out_ = false;
  std::string title_, text_;
  GtkMessageType type_ = GTK_MESSAGE_OTHER;
  bool modal_ = false;
  GtkWindow* transient_for_ = nullptr;
  gint64 deadline_;
  guint source_ = 0;
};

/// Runs the main loop until `done()` or the time limit; true when `done()` became true.
template <class F>
bool iterate_until(F done, int seconds = 15) {
  gint64 deadline = g_get_monotonic_time() + static_cast<gint64>(seconds) * G_USEC_PER_SEC;
  while (!done()) {
    if (g_get_monotonic_time() > deadline) return false;
    g_main_context_iteration(nullptr, FALSE);
    g_usleep(1000);
  }
  return true;
}

}  // namespace api32::testing
