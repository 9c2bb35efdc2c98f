// tray_command.hpp - the reference host's `tray` command: the tray icon on its own, reporting its clicks.
#pragma once

#include <functional>
#include <string>

namespace api32::desktop {

/// Shows the icon file `icon` with the tooltip `tip` in the notification area through uo_nv_trayicon and
/// hands each click to `emit` as it arrives ("WM_LBUTTONDOWN", "WM_LBUTTONUP", "WM_LBUTTONDBLCLK",
/// "WM_RBUTTONDOWN", ...; "menu: Test" when the menu item is picked). With `menu`, a right click pops up
/// the icon's menu (this needs a display). Runs its own main loop until SIGINT or SIGTERM, or for `seconds`
/// when it is above 0, then removes the icon. Returns 0, or 1 when the icon cannot be loaded (after the
/// class's "Can't load icon!" box).
int run_tray(const std::string& icon, const std::string& tip, bool menu, int seconds,
             const std::function<void(const std::string& line)>& emit);

}  // namespace api32::desktop

extern "C" {
/// The same for a host that reaches the desktop module with dlsym; null texts count as "", a null `emit`
/// prints each line on stdout.
int api32_desktop_run_tray(const char* icon, const char* tip, int menu, int seconds,
                           void (*emit)(const char* line, void* context), void* context);
}
