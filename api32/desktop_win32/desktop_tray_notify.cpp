// desktop_tray_notify.cpp - Shell_NotifyIconA: the icons of the process, one item per window and number.
#include <glib.h>

#include <cstring>
#include <map>
#include <utility>

#include "api32/desktop_win32/desktop_tray.hpp"
#include "api32/desktop_win32/desktop_tray_item.hpp"
#include "api32/desktop_win32/window.hpp"

namespace api32::win32 {
namespace {

using item_key = std::pair<std::uint16_t, std::uint32_t>;  // low 16 bits of the window handle, icon number

// The shell's icons. Kept for the life of the process and never destroyed at exit, when the bus and the
// main loop may already be gone; icons still shown then vanish with the process's connections.
std::map<item_key, std::unique_ptr<tray_item>>& items() {
  static auto* map = new std::map<item_key, std::unique_ptr<tray_item>>();
  return *map;
}

item_key key_of(const notifyicondata& data) {
  return {static_cast<std::uint16_t>(static_cast<std::uint32_t>(data.hwnd) & 0xFFFFu),
          static_cast<std::uint32_t>(data.uid)};
}

// Takes the fields the flags mark as valid.
void apply(tray_item& item, const notifyicondata& data, bool announce) {
  const auto flags = static_cast<std::uint32_t>(data.uflags);
  if (flags & NIF_MESSAGE) item.set_callback_message(static_cast<std::uint32_t>(data.ucallbackmessage));
  if (flags & NIF_ICON) item.set_icon(icon_pixels(static_cast<HICON>(data.hicon)), announce);
  if (flags & NIF_TIP) item.set_tip(tray_tip_text(data.sztip), announce);
}

BOOL add(const notifyicondata& data) {
  const item_key key = key_of(data);
  if (!window::from_handle(key.first, true)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE_;
  }
  auto found = items().find(key);
  if (found != items().end()) {
    // Shown already: no second item. Waiting for a panel: take the new data and try again now.
    if (found->second->registered()) {
      SetLastError(ERROR_ALREADY_EXISTS);
      return FALSE_;
    }
    apply(*found->second, data, true);
  } else {
    auto item = tray_item::create(key.first, key.second);
    if (!item) return FALSE_;
    apply(*item, data, false);
    found = items().emplace(key, std::move(item)).first;
  }
  if (!found->second->register_now()) {
    SetLastError(ERROR_NOT_FOUND);
    return FALSE_;
  }
  return TRUE_;
}

BOOL modify(const notifyicondata& data) {
  auto found = items().find(key_of(data));
  if (found == items().end()) {
    SetLastError(ERROR_NOT_FOUND);
    return FALSE_;
  }
  apply(*found->second, data, true);
  return TRUE_;
}

BOOL remove(const notifyicondata& data) {
  auto found = items().find(key_of(data));
  if (found == items().end()) {
    SetLastError(ERROR_NOT_FOUND);
    return FALSE_;
  }
  items().erase(found);
  return TRUE_;
}

}  // namespace

BOOL Shell_NotifyIconA(DWORD message, const notifyicondata* data) {
  if (!data) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE_;
  }
  switch (message) {
    case NIM_ADD:
      return add(*data);
    case NIM_MODIFY:
      return modify(*data);
    case NIM_DELETE:
      return remove(*data);
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE_;
  }
}

std::string tray_tip_text(const char (&sztip)[64]) {
  constexpr std::size_t shown = 63;  // the field's last byte is kept for the NUL
  std::size_t length = ::strnlen(sztip, sizeof sztip);
  if (length > shown) {
    length = shown;
    // Cut back to the start of a character the cut would split.
    std::size_t start = length;
    while (start > 0 && length - start < 3 && (static_cast<unsigned char>(sztip[start - 1]) & 0xC0) == 0x80) --start;
    if (start > 0) {
      const auto lead = static_cast<unsigned char>(sztip[start - 1]);
      const std::size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
      if (lead >= 0xC0 && start - 1 + need > length) length = start - 1;
    }
  }
  gchar* valid = g_utf8_make_valid(sztip, static_cast<gssize>(length));
  std::string text = valid;
  g_free(valid);
  return text;
}

std::size_t tray_icon_count() { return items().size(); }

void drop_orphaned_tray_items() {
  for (auto it = items().begin(); it != items().end();) {
    if (!window::from_handle(it->first.first, true))
      it = items().erase(it);
    else
      ++it;
  }
}

}  // namespace api32::win32
