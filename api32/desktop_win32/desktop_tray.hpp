// desktop_tray.hpp - Shell_NotifyIconA over the freedesktop StatusNotifierItem protocol on the session bus,
// and SetForegroundWindow / OpenIcon over GTK.
//
// Call these on the thread that runs the GTK (GLib default) main loop: the icon's clicks are dispatched there
// and reach the host window as its callback message, posted as Windows posts them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "api32/desktop_win32/desktop_icon.hpp"
#include "api32/win32/notifyicondata.hpp"

namespace api32::win32 {

inline constexpr DWORD NIM_ADD = 0;
inline constexpr DWORD NIM_MODIFY = 1;
inline constexpr DWORD NIM_DELETE = 2;
inline constexpr std::uint32_t NIF_MESSAGE = 0x1;
inline constexpr std::uint32_t NIF_ICON = 0x2;
inline constexpr std::uint32_t NIF_TIP = 0x4;

inline constexpr std::uint32_t WM_MOUSEMOVE = 0x200;
inline constexpr std::uint32_t WM_LBUTTONDOWN = 0x201;
inline constexpr std::uint32_t WM_LBUTTONUP = 0x202;
inline constexpr std::uint32_t WM_LBUTTONDBLCLK = 0x203;
inline constexpr std::uint32_t WM_RBUTTONDOWN = 0x204;
inline constexpr std::uint32_t WM_RBUTTONUP = 0x205;
inline constexpr std::uint32_t WM_MBUTTONDOWN = 0x207;
inline constexpr std::uint32_t WM_MBUTTONUP = 0x208;

/// The well-known name of the panel side of the protocol.
inline constexpr const char* status_notifier_watcher = "org.kde.StatusNotifierWatcher";

/// Windows: adds, changes or removes a notification-area icon of window `hwnd` numbered `uid`.
/// Here each icon is a StatusNotifierItem on its own session-bus connection, registered with the panel's
/// org.kde.StatusNotifierWatcher; the window is matched on the low 16 bits of `hwnd`, as Windows matches
/// window handles. NIF_ICON takes a copy of the icon's pixels (the caller may destroy its icon afterwards),
/// NIF_TIP the tooltip and title, NIF_MESSAGE the callback message; clicks arrive as that message with `uid`
/// and the mouse message (WM_LBUTTONDOWN/UP, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN/UP, WM_MBUTTONDOWN/UP).
/// - NIM_ADD: TRUE when the panel took the item. FALSE when the icon is already shown (no second item),
///   when `hwnd` is no window (ERROR_INVALID_WINDOW_HANDLE), when there is no session bus, or when no panel
///   watcher is on the bus (ERROR_NOT_FOUND); in that last case the item is kept and registers by itself as
///   soon as a watcher appears, as it does again whenever a panel restarts.
/// - NIM_MODIFY: TRUE when the icon exists (shown or waiting for a panel); the change signals are emitted.
/// - NIM_DELETE: TRUE when the icon existed and is gone; FALSE (ERROR_NOT_FOUND) when it was not there.
/// A null block or another message: FALSE with ERROR_INVALID_PARAMETER.
BOOL Shell_NotifyIconA(DWORD message, const notifyicondata* data);

/// Windows: brings the window to the front and activates it. Here: presents the GTK window when it is shown
/// (a hidden window stays hidden). FALSE with ERROR_INVALID_WINDOW_HANDLE when no window has that handle
/// (low 16 bits) or it has no GTK window (no display).
BOOL SetForegroundWindow(std::uint32_t hwnd);
/// Windows: restores a minimised window and activates it. Here: de-iconifies and presents the GTK window;
/// FALSE as SetForegroundWindow.
BOOL OpenIcon(std::uint32_t hwnd);

/// The text shown for a tip field: read up to its NUL or its 64 bytes, never further; at most 63 bytes, cut
/// back to a whole UTF-8 character when the cut falls inside one, and made valid UTF-8 (U+FFFD for bytes
/// that are not).
std::string tray_tip_text(const char (&sztip)[64]);

/// The number of icons Shell_NotifyIconA holds (shown or waiting for a panel).
std::size_t tray_icon_count();

/// The entry points the tray class calls, in a table a test can replace to watch or refuse the calls.
struct shell_entry_points {
  BOOL (*shell_notify_icon)(DWORD, const notifyicondata*) = &Shell_NotifyIconA;
  HICON(*load_image)
  (std::uint32_t, std::string_view, std::uint32_t, std::int32_t, std::int32_t, std::uint32_t) = &LoadImageA;
  BOOL (*destroy_icon)(HICON) = &DestroyIcon;
  BOOL (*set_foreground_window)(std::uint32_t) = &SetForegroundWindow;
  BOOL (*open_icon)(std::uint32_t) = &OpenIcon;
};
shell_entry_points& shell_calls();

}  // namespace api32::win32
