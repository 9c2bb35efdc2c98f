// trayicon_menu.hpp - the tray icon's popup menu: one item, m_test ("Test"), with no action of its own.
//
// The host shows the menu with popmenu() on the icon's right-button message. Panels that draw item menus
// themselves show the same items (the tray icon names this menu for its icon); a choice made there reaches
// the item's clicked event exactly as a choice in the popup does.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "api32/win32/desktop_tray_menu.hpp"

typedef struct _GtkWidget GtkWidget;

namespace api32 {

class trayicon_menu : public win32::tray_menu_source {
public:
  /// A menu item: its text, whether it can be chosen and is shown, its GTK item (null without a display),
  /// and its clicked event, which the host sets (an item without one does nothing when chosen).
  struct menu_item {
    std::string text;
    bool enabled = true;
    bool visible = true;
    GtkWidget* widget = nullptr;
    std::function<void()> clicked;
    trayicon_menu* menu = nullptr;  ///< the menu the item belongs to
  };

  /// Builds the menu with its item m_test, "Test". Without a display the menu has its items and no widgets.
  trayicon_menu();
  ~trayicon_menu() override;
  trayicon_menu(const trayicon_menu&) = delete;
  trayicon_menu& operator=(const trayicon_menu&) = delete;

  menu_item m_test;

  /// The GTK menu, or null without a display.
  GtkWidget* widget() const { return menu_; }
  /// Pops the menu up at the mouse pointer, as a host does on a right click of the tray icon: 1, or -1
  /// without a display. When a panel has just opened this menu on that very click, the panel's menu is the
  /// one shown and no second copy pops up (1).
  std::int16_t popmenu();
  /// True while the menu is shown.
  bool is_shown() const;
  /// Takes the menu down again (it also goes when the user picks an item or clicks elsewhere).
  void popdown();
  /// Shows changes of the items' text, enabled or visible in the popup and on panels.
  void refresh();
  /// Puts an item of this menu back as the menu built it (text, enabled, shown, no clicked event).
  void reset_item(menu_item& item);

  // ---- the menu as panels show it (ids: m_test is 1)
  std::vector<win32::tray_menu_entry> tray_menu_entries() const override;
  void tray_menu_clicked(std::int32_t id) override;

private:
  GtkWidget* menu_ = nullptr;
};

}  // namespace api32
