// uo_nv_trayicon.hpp - one icon with a tooltip in the notification area for a host window: added, changed
// and removed through Shell_NotifyIconA, the icon loaded from a file with LoadImageA.
//
// Clicks on the icon reach the host window's message hook as WM_MOUSEMOVE (512) with the icon's mouse
// message (WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, ...) as the second parameter; the
// class does not handle them, the host does, and may pop up `imenu` there.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "api32/desktop/trayicon_menu.hpp"
#include "api32/desktop_win32/window.hpp"
#include "api32/win32/notifyicondata.hpp"

namespace api32 {

class uo_nv_trayicon {
public:
  static constexpr std::int32_t nim_add = 0;
  static constexpr std::int32_t nim_modify = 1;
  static constexpr std::int32_t nim_delete = 2;
  static constexpr std::int32_t nif_messageornif_iconornif_tip = 7;
  static constexpr std::int32_t wm_mousemove = 512;
  static constexpr std::int32_t image_icon = 1;
  static constexpr std::int32_t lr_loadfromfile = 16;

  // instance variables
  std::int32_t hicon = 0;                ///< the icon addtotray loaded; 0 when none is held
  notifyicondata ia_nid;                 ///< the data the icon was added with
  std::unique_ptr<trayicon_menu> imenu;  ///< the popup menu, created with the object
  window* iw_window = nullptr;           ///< the window given to addtotray

  /// Creates the popup menu.
  uo_nv_trayicon();
  /// Destroys the menu and releases the icons the object still holds. The icon is not taken out of the
  /// notification area: the host calls removefromtray first.
  ~uo_nv_trayicon();
  uo_nv_trayicon(const uo_nv_trayicon&) = delete;
  uo_nv_trayicon& operator=(const uo_nv_trayicon&) = delete;

  /// Shows the icon of the file `as_icon` (loaded only when no icon is held yet) with the tooltip `as_tips`
  /// for `aw_window`. False, after the box "Error" / "Can't load icon!", when the icon cannot be loaded;
  /// true otherwise, whatever the shell answered.
  bool addtotray(window& aw_window, const std::string& as_icon, const std::string& as_tips);
  /// Changes the icon and tooltip, always starting from the data addtotray used. A file that cannot be
  /// loaded is not reported: the icon is then shown empty. The icon loaded here is released when the next
  /// change replaces it or when the icon is removed.
  void of_modifysystrayicon(const std::string& as_icon, const std::string& as_tip);
  /// Takes the icon of `aw_window` out of the notification area and releases the held icons.
  void removefromtray(window& aw_window);
  /// A new block: size 88, the window handle and number widened with their sign, the flags, the callback
  /// message, the icon, and `tip` in the 64-byte field (with its NUL when shorter; cut to 64 bytes when not).
  notifyicondata setnotifyicondata(std::int16_t hwnd, std::int16_t id, std::int32_t flags, std::int32_t callbackmessage,
                                   std::int32_t icon, const std::string& tip);

  // ---- declared for the host's use (SetForegroundWindow, OpenIcon of USER32)
  std::int32_t setforegroundwindow(std::int32_t hwnd);
  std::int32_t openicon(std::int32_t hwnd);

private:
  // ---- external functions (SHELL32, USER32): the stand-in's entry points in win32/
  std::int16_t shell_notifyicon(std::int32_t dwmessage, notifyicondata& lpdata);
  std::int32_t loadimage(std::int32_t hinst, const std::string& lpsz, std::int32_t un1, std::int32_t n1,
                         std::int32_t n2, std::int32_t un2);
  std::int32_t destroyicon(std::int32_t hicon);

  /// Places `tip` and its NUL in the 64-byte field.
  static void set_tip_field(notifyicondata& data, const std::string& tip);
  void release_icons();

  std::int32_t il_modified_icon = 0;  ///< the icon the last of_modifysystrayicon loaded; 0 when none
};

}  // namespace api32
