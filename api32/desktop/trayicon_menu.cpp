// trayicon_menu.cpp - the tray icon's popup menu as a GtkMenu.
#include "api32/desktop/trayicon_menu.hpp"

#include <gtk/gtk.h>

#include "api32/desktop_win32/gtk_session.hpp"

namespace api32 {

trayicon_menu::trayicon_menu() {
  m_test.text = "Test";
  if (!desktop::gtk_ready()) return;
  menu_ = gtk_menu_new();
  g_object_ref_sink(menu_);  // ours until the destructor
  m_test.widget = gtk_menu_item_new_with_label(m_test.text.c_str());
  gtk_menu_shell_append(GTK_MENU_SHELL(menu_), m_test.widget);
  gtk_widget_show_all(menu_);
}

trayicon_menu::~trayicon_menu() {
  if (!menu_) return;
  gtk_widget_destroy(menu_);
  g_object_unref(menu_);
}

std::int16_t trayicon_menu::popmenu() {
  if (!menu_) return -1;
  GdkDisplay* display = gdk_display_get_default();
  GdkSeat* seat = display ? gdk_display_get_default_seat(display) : nullptr;
  GdkDevice* pointer = seat ? gdk_seat_get_pointer(seat) : nullptr;
  if (!pointer) return -1;
  // A click on a tray icon reaches the host as a message, not as a GTK event: the menu is placed at the
  // pointer's position, with a stand-in for the click as the event that opened it (GTK grabs the pointer
  // for it).
  GdkScreen* screen = nullptr;
  GdkRectangle at = {0, 0, 1, 1};
  gdk_device_get_position(pointer, &screen, &at.x, &at.y);
  GdkWindow* root = gdk_screen_get_root_window(screen ? screen : gdk_screen_get_default());
  GdkEvent* click = gdk_event_new(GDK_BUTTON_RELEASE);
  click->button.window = GDK_WINDOW(g_object_ref(root));
  click->button.time = GDK_CURRENT_TIME;
  click->button.button = GDK_BUTTON_SECONDARY;
  click->button.x_root = at.x;
  click->button.y_root = at.y;
  gdk_event_set_device(click, pointer);
  gtk_menu_popup_at_rect(GTK_MENU(menu_), root, &at, GDK_GRAVITY_SOUTH_EAST, GDK_GRAVITY_NORTH_WEST, click);
  gdk_event_free(click);
  return 1;
}

bool trayicon_menu::is_shown() const { return menu_ && gtk_widget_get_mapped(menu_); }

void trayicon_menu::popdown() {
  if (menu_) gtk_menu_popdown(GTK_MENU(menu_));
}

}  // namespace api32
