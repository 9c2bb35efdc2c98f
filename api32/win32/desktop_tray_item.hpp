// desktop_tray_item.hpp - one notification-area icon as a StatusNotifierItem on its own bus connection
// (internal to the tray stand-in).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "api32/win32/desktop_icon.hpp"
#include "api32/win32/desktop_tray_menu_export.hpp"

typedef struct _GDBusConnection GDBusConnection;
typedef struct _GCancellable GCancellable;

namespace api32::win32 {

class tray_item {
public:
  /// Opens a connection to the session bus and exports the item; null (last error set) when there is no bus.
  static std::unique_ptr<tray_item> create(std::uint16_t window_low16, std::uint32_t uid);
  ~tray_item();
  tray_item(const tray_item&) = delete;
  tray_item& operator=(const tray_item&) = delete;

  /// Registers with the watcher now, waiting for its answer: false when no watcher took the item.
  bool register_now();
  bool registered() const { return !watcher_owner_.empty(); }

  void set_callback_message(std::uint32_t message) {
    callback_message_ = message;
    has_callback_ = true;
  }
  /// Takes the pixels of an icon (null: no icon) and tells the panel.
  void set_icon(std::shared_ptr<const icon_image> icon, bool announce);
  /// Takes the tooltip (also the title) and tells the panel.
  void set_tip(std::string tip, bool announce);

  std::uint16_t window_low16() const { return window_low16_; }
  /// The item's unique bus name (what it registered with).
  const std::string& bus_name() const { return bus_name_; }

private:
  tray_item(std::uint16_t window_low16, std::uint32_t uid) : window_low16_(window_low16), uid_(uid) {}

  friend struct tray_item_glue;
  void on_watcher_appeared(const std::string& owner);
  void on_watcher_vanished();
  void register_with(const std::string& owner);
  void on_refused(const std::string& owner);
  void on_menu_opened();
  void on_click(const std::string& method);
  void post(std::uint32_t mouse_message);
  void emit(const char* signal);

  std::uint16_t window_low16_;
  std::uint32_t uid_;
  std::uint32_t callback_message_ = 0;
  bool has_callback_ = false;
  std::shared_ptr<const icon_image> icon_;
  std::string tip_;
  GDBusConnection* connection_ = nullptr;
  GCancellable* cancellable_ = nullptr;
  unsigned object_id_ = 0;
  unsigned watch_id_ = 0;
  std::string bus_name_;
  std::string watcher_owner_;  // the watcher instance that holds the registration; empty when none
  std::string watched_owner_;  // the watcher instance on the bus now; empty when none
  unsigned retry_source_ = 0;  // the timer of the next registration attempt
  int refusals_ = 0;           // registrations the watcher on the bus refused in a row
  std::unique_ptr<tray_menu_export> menu_;
  std::int64_t last_activate_us_ = -1;
};

/// Removes the items whose window is gone (called when a click finds no window, as the shell drops icons of
/// destroyed windows when the pointer passes over them).
void drop_orphaned_tray_items();

}  // namespace api32::win32
