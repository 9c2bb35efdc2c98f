// trayicon_menu.hpp - the tray icon's popup menu: one item, m_test ("Test"), with no action of its own.
#pragma once

#include <cstdint>
#include <string>

typedef struct _GtkWidget GtkWidget;

namespace api32 {

class trayicon_menu {
public:
  /// A menu item: its text and its GTK item (null without a display). A host that wants the item to do
  /// something connects to the GTK item's "activate" signal.
  struct menu_item {
    std::string text;
    GtkWidget* widget = nullptr;
  };

  /// Builds the menu with its item m_test, "Test". Without a display the menu has its items and no widgets.
  trayicon_menu();
  ~trayicon_menu();
  trayicon_menu(const trayicon_menu&) = delete;
  trayicon_menu& operator=(const trayicon_menu&) = delete;

  menu_item m_test;

  /// The GTK menu, or null without a display.
  GtkWidget* widget() const { return menu_; }
  /// Pops the menu up at the mouse pointer, as a host does on a right click of the tray icon: 1, or -1
  /// without a display.
  std::int16_t popmenu();
  /// True while the menu is shown.
  bool is_shown() const;
  /// Takes the menu down again (it also goes when the user picks an item or clicks elsewhere).
  void popdown();

private:
  GtkWidget* menu_ = nullptr;
};

}  // namespace api32
