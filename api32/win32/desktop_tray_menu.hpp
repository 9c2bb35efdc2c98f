// desktop_tray_menu.hpp - the popup menu of a notification-area icon, exported to the panel over the
// com.canonical.dbusmenu interface, so that panels which draw item menus themselves show the host's menu.
//
// Windows has no such thing: there the host pops its menu up itself on the right-button message. Panels on
// Linux instead read an item's menu from the bus and open it on the right click without asking the item, so
// the stand-in lets the host name the menu of an icon beforehand. When a panel opens that menu, the host
// still hears the right button (WM_RBUTTONDOWN, WM_RBUTTONUP as the callback message), and a popup the host
// then asks for is not shown a second time (tray_menu_shown_by_panel). A click on an entry in the panel's
// menu reaches the menu as if the user had picked the entry in the host's own popup.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace api32::win32 {

/// One entry of a menu as the panel shows it. Ids are positive and stable for the life of the menu.
struct tray_menu_entry {
  std::int32_t id = 0;
  std::string text;
  bool enabled = true;
  bool visible = true;
};

/// A menu that can be shown by a panel: what the host's popup menu implements. Call changed() after an
/// entry's text or state changed, so panels that hold the menu read it again.
class tray_menu_source {
public:
  tray_menu_source();
  virtual ~tray_menu_source();
  tray_menu_source(const tray_menu_source&) = delete;
  tray_menu_source& operator=(const tray_menu_source&) = delete;

  virtual std::vector<tray_menu_entry> tray_menu_entries() const = 0;
  /// The user chose entry `id` in a panel's menu; called from the main loop, never inside a bus call.
  virtual void tray_menu_clicked(std::int32_t id) = 0;

  void changed();
};

/// Names the menu that panels show for the icon of window `hwnd` (low 16 bits) numbered `uid`; null takes
/// it away. Name it before NIM_ADD: panels read whether an item has a menu when it registers. An icon with
/// no menu has no menu on the bus, and panels call its ContextMenu method on the right click instead.
void set_tray_icon_menu(std::uint32_t hwnd, std::uint32_t uid, tray_menu_source* menu);
/// The menu named for an icon, or null.
tray_menu_source* tray_icon_menu(std::uint16_t window_low16, std::uint32_t uid);

/// The icons (window low 16 bits, number) whose menu is `menu`.
std::vector<std::pair<std::uint16_t, std::uint32_t>> tray_icons_naming(const tray_menu_source* menu);

/// True while a panel shows `menu` after a right click it reported in the last two seconds: the host's
/// popup would be a second copy of it.
bool tray_menu_shown_by_panel(const tray_menu_source* menu);

}  // namespace api32::win32
