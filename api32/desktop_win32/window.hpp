// window.hpp - the host's window as the classes see it: a GTK top-level with a 32-bit handle.
//
// The host creates windows and runs the GTK main loop; the library never starts one behind its back.
// Win32-style messages (number, wparam, lparam) reach the window's message hook: the tray icon's clicks
// arrive there as its callback message. Without a display (GTK cannot be initialised) a window still has
// its handle, title, opening text and message hook, and no widget: messages keep working, nothing is shown.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

typedef struct _GtkWidget GtkWidget;

namespace api32 {

/// Sizes and positions of the host toolkit's window units, converted to pixels at 96 dpi: x pixels =
/// units * 7 / 32, y pixels = units / 4, rounded to the nearest pixel (then scaled by the monitor's scale
/// factor by GTK itself).
int units_to_pixels_x(int units);
int units_to_pixels_y(int units);

class window {
public:
  using message_hook = std::function<void(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam)>;

  /// Creates the GTK top-level (not yet shown) with a title and a size in window units. Initialises GTK
  /// (gtk_init_check) when the host has not; without a display the window has no widget.
  window(std::string title, int width_units, int height_units);
  virtual ~window();
  window(const window&) = delete;
  window& operator=(const window&) = delete;

  /// The window's handle from the handle table (kind window); 0 after the window was destroyed.
  std::uint32_t hwnd() const { return hwnd_; }
  /// The GTK top-level, or null without a display.
  GtkWidget* widget() const { return widget_; }
  /// The fixed container that holds the window's controls, placed in pixels (null without a display).
  GtkWidget* container() const { return container_; }

  /// Opens (shows) the window with the opening text the host hands it; runs open_event() before the window
  /// is shown. Opening a window that is already open only brings it to the front.
  void open(const std::string& opening_text = "");
  /// Closes the window: it is hidden, and can be opened again; its controls and handle live as long as the
  /// object. The window's own close button does the same.
  void close();
  bool is_open() const { return open_; }
  const std::string& opening_text() const { return opening_text_; }

  void set_title(const std::string& title);
  std::string title() const { return title_; }

  /// Installs the handler that receives the window's Win32-style messages.
  void set_message_hook(message_hook hook) { hook_ = std::move(hook); }
  /// Delivers a message to the hook at once (on the calling thread, which must be the GTK thread).
  void send_message(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam);
  /// Queues a message for the window of `hwnd`, delivered from the GTK main loop (as PostMessage does); a
  /// window destroyed in between gets nothing. False when `hwnd` is not a window's handle.
  static bool post_message(std::uint32_t hwnd, std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam);

  /// The window of a handle, or null; `low16_only` matches on the low 16 bits as Windows does.
  static window* from_handle(std::uint32_t hwnd, bool low16_only = false);

protected:
  /// The window's open event; descendants run the ancestor's first.
  virtual void open_event() {}

private:
  void forget_widget();

  std::uint32_t hwnd_ = 0;
  GtkWidget* widget_ = nullptr;
  GtkWidget* container_ = nullptr;
  std::string title_;
  std::string opening_text_;
  bool open_ = false;
  message_hook hook_;
};

}  // namespace api32
