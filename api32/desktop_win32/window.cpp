// window.cpp - the host window: a GTK top-level with a fixed container, its handle in the handle table, and
// the message hook through which Win32-style messages reach the host.
#include "api32/desktop_win32/window.hpp"

#include <gtk/gtk.h>

#include <cmath>

#include "api32/desktop_win32/gtk_session.hpp"
#include "api32/win32/handles.hpp"
#include "api32/win32/last_error.hpp"

namespace api32 {
namespace {

using win32::handle_kind;
using win32::handles;

// The window's close button hides the window instead of destroying it, as close() does.
gboolean on_delete_event(GtkWidget*, GdkEvent*, gpointer self) {
  static_cast<window*>(self)->close();
  return TRUE;
}

struct posted_message {
  std::uint32_t hwnd;
  std::uint32_t message;
  std::uintptr_t wparam;
  std::intptr_t lparam;
};

gboolean deliver_posted(gpointer data) {
  const auto* m = static_cast<const posted_message*>(data);
  // Looked up again here: the window may have been destroyed since the message was posted.
  if (window* w = window::from_handle(m->hwnd)) w->send_message(m->message, m->wparam, m->lparam);
  return G_SOURCE_REMOVE;
}

void free_posted(gpointer data) { delete static_cast<posted_message*>(data); }

}  // namespace

int units_to_pixels_x(int units) { return static_cast<int>(std::lround(static_cast<double>(units) * 7.0 / 32.0)); }

int units_to_pixels_y(int units) { return static_cast<int>(std::lround(static_cast<double>(units) / 4.0)); }

window::window(std::string title, int width_units, int height_units) : title_(std::move(title)) {
  // The table holds a non-owning reference: the window's owner decides its lifetime, and the destructor
  // takes the entry out before the object goes away.
  hwnd_ = handles().add<window>(handle_kind::window, std::shared_ptr<window>(this, [](window*) {}));
  if (!desktop::gtk_ready()) return;
  widget_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  g_object_ref(widget_);  // ours until the destructor, even if someone destroys the widget
  gtk_window_set_title(GTK_WINDOW(widget_), title_.c_str());
  gtk_window_set_default_size(GTK_WINDOW(widget_), units_to_pixels_x(width_units), units_to_pixels_y(height_units));
  container_ = gtk_fixed_new();
  gtk_container_add(GTK_CONTAINER(widget_), container_);
  g_signal_connect(widget_, "delete-event", G_CALLBACK(on_delete_event), this);
  g_signal_connect_swapped(widget_, "destroy", G_CALLBACK(+[](window* self) { self->forget_widget(); }), this);
}

window::~window() {
  handles().take<window>(hwnd_, handle_kind::window);
  hwnd_ = 0;
  if (widget_ != nullptr) {
    GtkWidget* widget = widget_;
    g_signal_handlers_disconnect_by_data(widget, this);
    widget_ = nullptr;
    container_ = nullptr;
    gtk_widget_destroy(widget);
    g_object_unref(widget);
  }
}

void window::forget_widget() {
  // Someone else destroyed the top-level: drop our reference, the window is closed for good.
  if (widget_ == nullptr) return;
  GtkWidget* widget = widget_;
  g_signal_handlers_disconnect_by_data(widget, this);
  widget_ = nullptr;
  container_ = nullptr;
  open_ = false;
  g_object_unref(widget);
}

void window::open(const std::string& opening_text) {
  if (open_) {
    if (widget_ != nullptr) gtk_window_present(GTK_WINDOW(widget_));
    return;
  }
  opening_text_ = opening_text;
  open_ = true;
  open_event();
  if (open_ && widget_ != nullptr) gtk_widget_show_all(widget_);  // the open event may have closed it again
}

void window::close() {
  if (!open_) return;
  open_ = false;
  if (widget_ != nullptr) gtk_widget_hide(widget_);
}

void window::set_title(const std::string& title) {
  title_ = title;
  if (widget_ != nullptr) gtk_window_set_title(GTK_WINDOW(widget_), title_.c_str());
}

void window::send_message(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam) {
  if (hook_) hook_(message, wparam, lparam);
}

bool window::post_message(std::uint32_t hwnd, std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam) {
  if (from_handle(hwnd) == nullptr) {
    win32::SetLastError(win32::ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, deliver_posted, new posted_message{hwnd, message, wparam, lparam},
                  free_posted);
  return true;
}

window* window::from_handle(std::uint32_t hwnd, bool low16_only) {
  if (low16_only) hwnd = handles().find_by_low16(handle_kind::window, static_cast<std::uint16_t>(hwnd & 0xFFFF));
  return handles().get<window>(hwnd, handle_kind::window).get();
}

}  // namespace api32
