// uo_nv_trayicon.cpp - the tray icon: addtotray, of_modifysystrayicon, removefromtray, setnotifyicondata.
#include "api32/desktop/uo_nv_trayicon.hpp"

#include <algorithm>
#include <cstring>

#include "api32/runtime/message_box.hpp"
#include "api32/win32/desktop_tray.hpp"
#include "api32/win32/desktop_tray_menu.hpp"

namespace api32 {

uo_nv_trayicon::uo_nv_trayicon() : imenu(std::make_unique<trayicon_menu>()) {}

uo_nv_trayicon::~uo_nv_trayicon() {
  imenu.reset();
  release_icons();
}

void uo_nv_trayicon::set_tip_field(notifyicondata& data, const std::string& tip) {
  std::memset(data.sztip, 0, sizeof data.sztip);
  std::memcpy(data.sztip, tip.data(), std::min(tip.size(), sizeof data.sztip));
}

notifyicondata uo_nv_trayicon::setnotifyicondata(std::int16_t hwnd, std::int16_t id, std::int32_t flags,
                                                 std::int32_t callbackmessage, std::int32_t icon,
                                                 const std::string& tip) {
  notifyicondata data;
  data.cbsize = static_cast<std::int32_t>(sizeof(notifyicondata));
  data.hwnd = hwnd;  // widened with its sign, as the 16-bit argument is
  data.uid = id;
  data.uflags = flags;
  data.ucallbackmessage = callbackmessage;
  data.hicon = icon;
  set_tip_field(data, tip);
  return data;
}

bool uo_nv_trayicon::addtotray(window& aw_window, const std::string& as_icon, const std::string& as_tips) {
  iw_window = &aw_window;
  if (hicon == 0) hicon = loadimage(0, as_icon, image_icon, 0, 0, lr_loadfromfile);
  if (hicon == 0) {
    messagebox("Error", "Can't load icon!");
    return false;
  }
  // The handle goes through the 16-bit argument: the shell matches windows on those bits.
  ia_nid = setnotifyicondata(static_cast<std::int16_t>(aw_window.hwnd()), 0, nif_messageornif_iconornif_tip,
                             wm_mousemove, hicon, as_tips);
  // Panels that draw item menus themselves read the menu when the icon registers: name it first.
  win32::set_tray_icon_menu(aw_window.hwnd(), 0, imenu.get());
  shell_notifyicon(nim_add, ia_nid);
  return true;
}

void uo_nv_trayicon::of_modifysystrayicon(const std::string& as_icon, const std::string& as_tip) {
  notifyicondata changed = ia_nid;
  set_tip_field(changed, as_tip);
  changed.hicon = loadimage(0, as_icon, image_icon, 0, 0, lr_loadfromfile);
  shell_notifyicon(nim_modify, changed);
  // The shell keeps its own copy of what it shows, so the icon this replaces can go now.
  if (il_modified_icon != 0) destroyicon(il_modified_icon);
  il_modified_icon = changed.hicon;
}

void uo_nv_trayicon::removefromtray(window& aw_window) {
  notifyicondata data =
      setnotifyicondata(static_cast<std::int16_t>(aw_window.hwnd()), 0, nif_messageornif_iconornif_tip, 0, hicon, "");
  shell_notifyicon(nim_delete, data);
  if (win32::tray_icon_menu(static_cast<std::uint16_t>(aw_window.hwnd() & 0xFFFFu), 0) == imenu.get())
    win32::set_tray_icon_menu(aw_window.hwnd(), 0, nullptr);
  release_icons();
}

void uo_nv_trayicon::release_icons() {
  if (hicon != 0) destroyicon(hicon);
  hicon = 0;
  if (il_modified_icon != 0) destroyicon(il_modified_icon);
  il_modified_icon = 0;
}

std::int32_t uo_nv_trayicon::setforegroundwindow(std::int32_t hwnd) {
  return win32::shell_calls().set_foreground_window(static_cast<std::uint32_t>(hwnd));
}

std::int32_t uo_nv_trayicon::openicon(std::int32_t hwnd) {
  return win32::shell_calls().open_icon(static_cast<std::uint32_t>(hwnd));
}

std::int16_t uo_nv_trayicon::shell_notifyicon(std::int32_t dwmessage, notifyicondata& lpdata) {
  return static_cast<std::int16_t>(
      win32::shell_calls().shell_notify_icon(static_cast<win32::DWORD>(dwmessage), &lpdata));
}

std::int32_t uo_nv_trayicon::loadimage(std::int32_t hinst, const std::string& lpsz, std::int32_t un1, std::int32_t n1,
                                       std::int32_t n2, std::int32_t un2) {
  return static_cast<std::int32_t>(win32::shell_calls().load_image(static_cast<std::uint32_t>(hinst), lpsz,
                                                                   static_cast<std::uint32_t>(un1), n1, n2,
                                                                   static_cast<std::uint32_t>(un2)));
}

std::int32_t uo_nv_trayicon::destroyicon(std::int32_t hicon) {
  return win32::shell_calls().destroy_icon(static_cast<win32::HICON>(hicon));
}

}  // namespace api32
