// desktop_abi_objects.hpp - what the desktop module's entry points share: the windows a host made through
// them, and the bindings of the tray's menu and its items (internal to the desktop module).
#pragma once

#include "api32/abi/binding.hpp"
#include "api32/desktop/trayicon_menu.hpp"
#include "api32/desktop/window.hpp"

namespace api32::abi {

/// Windows made through the entry points: the only windows a host can hand to a class by reference.
void keep_abi_window(api32::window* w);
void forget_abi_window(api32::window* w);
bool is_abi_window(const void* w);

class_binding<api32::trayicon_menu>& menu_binding();
class_binding<api32::trayicon_menu::menu_item>& menu_item_binding();

/// Makes a menu the library owns (a tray's imenu) and its items reachable by the host; forget_menu takes
/// them back before the menu goes.
void lend_menu(api32::trayicon_menu* menu);
void forget_menu(api32::trayicon_menu* menu);

}  // namespace api32::abi
