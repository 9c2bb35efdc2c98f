// desktop_tray_window.cpp - SetForegroundWindow and OpenIcon over GTK, and the table of the tray class's calls.
#include <gtk/gtk.h>

#include "api32/desktop_win32/desktop_tray.hpp"
#include "api32/desktop_win32/window.hpp"

namespace api32::win32 {
namespace {

GtkWindow* gtk_window_of(std::uint32_t hwnd) {
  window* target = window::from_handle(hwnd, true);
  GtkWidget* widget = target ? target->widget() : nullptr;
  if (!widget || !GTK_IS_WINDOW(widget)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  return GTK_WINDOW(widget);
}

}  // namespace

// A hidden window stays hidden, as on Windows: neither call shows a window.
BOOL SetForegroundWindow(std::uint32_t hwnd) {
  GtkWindow* gtk = gtk_window_of(hwnd);
  if (!gtk) return FALSE_;
  if (gtk_widget_get_visible(GTK_WIDGET(gtk))) gtk_window_present(gtk);
  return TRUE_;
}

BOOL OpenIcon(std::uint32_t hwnd) {
  GtkWindow* gtk = gtk_window_of(hwnd);
  if (!gtk) return FALSE_;
  if (gtk_widget_get_visible(GTK_WIDGET(gtk))) {
    gtk_window_deiconify(gtk);
    gtk_window_present(gtk);
  }
  return TRUE_;
}

shell_entry_points& shell_calls() {
  static shell_entry_points table;
  return table;
}

}  // namespace api32::win32
