// trayicon_menu.cpp - the tray icon's popup menu as a GtkMenu, and the same items for panels.
#include "api32/desktop/trayicon_menu.hpp"

#include <gtk/gtk.h>

#include "api32/desktop/gtk_session.hpp"

namespace api32 {
namespace {

constexpr std::int32_t m_test_id = 1;

void run_clicked(trayicon_menu::menu_item& item) {
  if (item.enabled && item.clicked) {
    auto clicked = item.clicked;  // the handler may replace itself or destroy the menu
    clicked();
  }
}

}  // namespace

trayicon_menu::trayicon_menu() {
  m_test.text = "Test";  // as reset_item puts it back
  m_test.menu = this;
  if (!desktop::gtk_ready()) return;
  menu_ = gtk_menu_new();
  g_object_ref_sink(menu_);  // ours until the destructor
  m_test.widget = gtk_menu_item_new_with_label(m_test.text.c_str());
  g_signal_connect(
      m_test.widget, "activate",
      G_CALLBACK(+[](GtkMenuItem*, gpointer self) { run_clicked(static_cast<trayicon_menu*>(self)->m_test); }), this);
  gtk_menu_shell_append(GTK_MENU_SHELL(menu_), m_test.widget);
  gtk_widget_show_all(menu_);
}

trayicon_menu::~trayicon_menu() {
  if (!menu_) return;
  g_signal_handlers_disconnect_by_data(m_test.widget, this);
  gtk_widget_destroy(menu_);
  g_object_unref(menu_);
}

std::int16_t trayicon_menu::popmenu() {
  if (win32::tray_menu_shown_by_panel(this)) return 1;
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

void trayicon_menu::refresh() {
  if (m_test.widget) {
    gtk_menu_item_set_label(GTK_MENU_ITEM(m_test.widget), m_test.text.c_str());
    gtk_widget_set_sensitive(m_test.widget, m_test.enabled);
    gtk_widget_set_visible(m_test.widget, m_test.visible);
  }
  changed();
}

void trayicon_menu::reset_item(menu_item& item) {
  if (&item != &m_test) return;
  m_test.text = "Test";
  m_test.enabled = true;
  m_test.visible = true;
  m_test.clicked = nullptr;
  refresh();
}

std::vector<win32::tray_menu_entry> trayicon_menu::tray_menu_entries() const {
  return {{m_test_id, m_test.text, m_test.enabled, m_test.visible}};
}

void trayicon_menu::tray_menu_clicked(std::int32_t id) {
  if (id == m_test_id) run_clicked(m_test);
}

}  // namespace api32
