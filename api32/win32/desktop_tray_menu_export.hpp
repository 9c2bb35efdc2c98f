// desktop_tray_menu_export.hpp - one icon's menu as a com.canonical.dbusmenu object on the icon's own bus
// connection (internal to the tray stand-in).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "api32/win32/desktop_tray_menu.hpp"

typedef struct _GDBusConnection GDBusConnection;
typedef struct _GVariant GVariant;
typedef struct _GDBusMethodInvocation GDBusMethodInvocation;
typedef struct _GDBusInterfaceInfo GDBusInterfaceInfo;

namespace api32::win32 {

/// The description of interface `name` in introspection XML, kept for the life of the process.
GDBusInterfaceInfo* parse_interface(const char* xml, const char* name);

class tray_menu_export {
public:
  /// The object path of the menu on the item's connection.
  static constexpr const char* path = "/MenuBar";

  /// `menu` names the icon's menu at the moment of each call (null: none); `opened` runs when a panel opens
  /// the menu on a right click (once per opening).
  static std::unique_ptr<tray_menu_export> create(GDBusConnection* connection, std::function<tray_menu_source*()> menu,
                                                  std::function<void()> opened);
  ~tray_menu_export();
  tray_menu_export(const tray_menu_export&) = delete;
  tray_menu_export& operator=(const tray_menu_export&) = delete;

  /// Tells the panel to read the menu again.
  void layout_changed();
  tray_menu_source* menu() const { return menu_(); }

private:
  tray_menu_export() = default;
  friend struct tray_menu_glue;
  GVariant* handle(const char* method, GVariant* parameters, GVariant** error_text);
  GVariant* layout(std::int32_t parent, std::int32_t depth) const;
  void event(std::int32_t id, const char* name);
  void about_to_show(std::int32_t id);

  GDBusConnection* connection_ = nullptr;
  unsigned object_id_ = 0;
  std::uint32_t revision_ = 1;
  std::function<tray_menu_source*()> menu_;
  std::function<void()> opened_;
};

}  // namespace api32::win32
