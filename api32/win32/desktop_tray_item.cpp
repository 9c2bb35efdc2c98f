// desktop_tray_item.cpp - one notification-area icon as an org.kde.StatusNotifierItem on the session bus.
//
// Each item has a connection of its own, so its unique name identifies it to the watcher and the item is
// exported at the conventional path /StatusNotifierItem; closing the connection takes it off every panel.
#include "api32/win32/desktop_tray_item.hpp"

#include <gio/gio.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <utility>

#include "api32/desktop/window.hpp"
#include "api32/win32/desktop_tray.hpp"

namespace api32::win32 {
namespace {

constexpr const char* item_path = "/StatusNotifierItem";
constexpr const char* item_interface = "org.kde.StatusNotifierItem";
constexpr const char* watcher_path = "/StatusNotifierWatcher";
constexpr int register_timeout_ms = 4000;
constexpr int default_double_click_ms = 400;
// A watcher may own its name before it accepts items: a refused registration is tried again after 100 ms,
// then after twice the wait each time, up to 3.2 s, for about 25 s in all.
constexpr int first_retry_ms = 100;
constexpr int longest_retry_ms = 3200;
constexpr int most_refusals = 12;

constexpr const char* introspection_xml = R"xml(<node>
  <interface name="org.kde.StatusNotifierItem">
    <property name="Category" type="s" access="read"/>
    <property name="Id" type="s" access="read"/>
    <property name="Title" type="s" access="read"/>
    <property name="Status" type="s" access="read"/>
    <property name="WindowId" type="i" access="read"/>
    <property name="IconName" type="s" access="read"/>
    <property name="IconPixmap" type="a(iiay)" access="read"/>
    <property name="ToolTip" type="(sa(iiay)ss)" access="read"/>
    <property name="ItemIsMenu" type="b" access="read"/>
    <property name="Menu" type="o" access="read"/>
    <method name="ContextMenu"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="Activate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="SecondaryActivate">
      <arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/>
    </method>
    <method name="Scroll">
      <arg name="delta" type="i" direction="in"/><arg name="orientation" type="s" direction="in"/>
    </method>
    <signal name="NewTitle"/>
    <signal name="NewIcon"/>
    <signal name="NewToolTip"/>
    <signal name="NewStatus"><arg name="status" type="s"/></signal>
  </interface>
</node>)xml";

// Parsed once and kept for the life of the process.
GDBusInterfaceInfo* item_interface_info() {
  static GDBusInterfaceInfo* info = parse_interface(introspection_xml, item_interface);
  return info;
}

int double_click_ms() {
  int ms = default_double_click_ms;
  if (GtkSettings* settings = gdk_display_get_default() ? gtk_settings_get_default() : nullptr)
    g_object_get(settings, "gtk-double-click-time", &ms, nullptr);
  return ms > 0 ? ms : default_double_click_ms;
}

GVariant* pixmap_variant(const icon_image* icon) {
  GVariantBuilder builder;
  g_variant_builder_init(&builder, G_VARIANT_TYPE("a(iiay)"));
  if (icon && !icon->argb.empty()) {
    GVariant* bytes = g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, icon->argb.data(), icon->argb.size(), 1);
    g_variant_builder_add(&builder, "(ii@ay)", icon->width, icon->height, bytes);
  }
  return g_variant_builder_end(&builder);
}

// The session bus's address: the environment's, or the user's runtime bus socket. Never "autolaunch",
// which would start a bus daemon behind the host's back when there is no session.
std::string session_bus_address() {
  if (const char* address = g_getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address) return address;
  const std::string socket = std::string(g_get_user_runtime_dir()) + "/bus";
  if (!g_file_test(socket.c_str(), G_FILE_TEST_EXISTS)) return "";
  gchar* escaped = g_dbus_address_escape_value(socket.c_str());
  std::string address = std::string("unix:path=") + escaped;
  g_free(escaped);
  return address;
}

struct register_request {
  tray_item* item;
  std::string owner;
};

}  // namespace

// The C callbacks of GDBus, with access to the item's private members.
struct tray_item_glue {
  static void method_call(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method, GVariant*,
                          GDBusMethodInvocation* invocation, gpointer self) {
    g_dbus_method_invocation_return_value(invocation, nullptr);
    static_cast<tray_item*>(self)->on_click(method);
  }

  static GVariant* get_property(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* name,
                                GError** error, gpointer self) {
    auto* item = static_cast<tray_item*>(self);
    const std::string property = name;
    if (property == "Category") return g_variant_new_string("ApplicationStatus");
    if (property == "Id") return g_variant_new_string(g_get_prgname() ? g_get_prgname() : "api32");
    if (property == "Title") return g_variant_new_string(item->tip_.c_str());
    if (property == "Status") return g_variant_new_string("Active");
    if (property == "WindowId") return g_variant_new_int32(0);
    if (property == "IconName") return g_variant_new_string("");
    if (property == "IconPixmap") return pixmap_variant(item->icon_.get());
    if (property == "ToolTip") {
      GVariant* no_pixmap = pixmap_variant(nullptr);
      return g_variant_new("(s@a(iiay)ss)", "", no_pixmap, item->tip_.c_str(), "");
    }
    if (property == "ItemIsMenu") return g_variant_new_boolean(FALSE);
    // Only an icon with a menu names one: panels call ContextMenu on the right click of an item without it.
    if (property == "Menu" && item->menu_ && item->menu_->menu())
      return g_variant_new_object_path(tray_menu_export::path);
    g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "no property %s", name);
    return nullptr;
  }

  static void watcher_appeared(GDBusConnection*, const gchar*, const gchar* owner, gpointer self) {
    static_cast<tray_item*>(self)->on_watcher_appeared(owner);
  }

  static void watcher_vanished(GDBusConnection*, const gchar*, gpointer self) {
    static_cast<tray_item*>(self)->on_watcher_vanished();
  }

  static void registered(GObject* source, GAsyncResult* result, gpointer data) {
    std::unique_ptr<register_request> request(static_cast<register_request*>(data));
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
    if (reply) {
      g_variant_unref(reply);
      request->item->watcher_owner_ = request->owner;  // not cancelled, so the item is alive
      request->item->refusals_ = 0;
    } else {
      const bool cancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
      g_error_free(error);
      if (!cancelled) request->item->on_refused(request->owner);  // the item is gone when cancelled
    }
  }

  static gboolean retry(gpointer self) {
    auto* item = static_cast<tray_item*>(self);
    item->retry_source_ = 0;
    if (!item->watched_owner_.empty() && item->watcher_owner_.empty()) item->register_with(item->watched_owner_);
    return G_SOURCE_REMOVE;
  }

  static gboolean drop_orphans(gpointer) {
    drop_orphaned_tray_items();
    return G_SOURCE_REMOVE;
  }
};

namespace {
const GDBusInterfaceVTable item_vtable = {&tray_item_glue::method_call, &tray_item_glue::get_property, nullptr, {}};
}

std::unique_ptr<tray_item> tray_item::create(std::uint16_t window_low16, std::uint32_t uid) {
  std::unique_ptr<tray_item> item(new tray_item(window_low16, uid));
  const std::string address = session_bus_address();
  if (address.empty()) {
    SetLastError(ERROR_NOT_FOUND);
    return nullptr;
  }
  GError* error = nullptr;
  item->connection_ = g_dbus_connection_new_for_address_sync(
      address.c_str(),
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, &error);
  if (!item->connection_) {
    g_error_free(error);
    SetLastError(ERROR_NOT_FOUND);
    return nullptr;
  }
  item->bus_name_ = g_dbus_connection_get_unique_name(item->connection_);
  item->cancellable_ = g_cancellable_new();
  item->object_id_ = g_dbus_connection_register_object(item->connection_, item_path, item_interface_info(),
                                                       &item_vtable, item.get(), nullptr, &error);
  if (item->object_id_ == 0) {
    g_error_free(error);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  item->menu_ = tray_menu_export::create(
      item->connection_, [raw = item.get()] { return tray_icon_menu(raw->window_low16_, raw->uid_); },
      [raw = item.get()] { raw->on_menu_opened(); });
  item->watch_id_ = g_bus_watch_name_on_connection(item->connection_, status_notifier_watcher,
                                                   G_BUS_NAME_WATCHER_FLAGS_NONE, &tray_item_glue::watcher_appeared,
                                                   &tray_item_glue::watcher_vanished, item.get(), nullptr);
  return item;
}

tray_item::~tray_item() {
  if (cancellable_) {
    g_cancellable_cancel(cancellable_);
    g_object_unref(cancellable_);
  }
  if (watch_id_) g_bus_unwatch_name(watch_id_);
  if (retry_source_) g_source_remove(retry_source_);
  menu_.reset();
  if (connection_) {
    if (object_id_) g_dbus_connection_unregister_object(connection_, object_id_);
    // Send what is queued (the last replies and signals) before the connection goes.
    g_dbus_connection_flush_sync(connection_, nullptr, nullptr);
    g_dbus_connection_close_sync(connection_, nullptr, nullptr);
    g_object_unref(connection_);
  }
}

bool tray_item::register_now() {
  GError* error = nullptr;
  GVariant* owner_reply =
      g_dbus_connection_call_sync(connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                  "GetNameOwner", g_variant_new("(s)", status_notifier_watcher), G_VARIANT_TYPE("(s)"),
                                  G_DBUS_CALL_FLAGS_NO_AUTO_START, register_timeout_ms, nullptr, &error);
  if (!owner_reply) {
    g_error_free(error);
    return false;
  }
  const gchar* owner_name = nullptr;
  g_variant_get(owner_reply, "(&s)", &owner_name);
  std::string owner = owner_name;
  g_variant_unref(owner_reply);
  GVariant* reply =
      g_dbus_connection_call_sync(connection_, owner.c_str(), watcher_path, status_notifier_watcher,
                                  "RegisterStatusNotifierItem", g_variant_new("(s)", bus_name_.c_str()), nullptr,
                                  G_DBUS_CALL_FLAGS_NO_AUTO_START, register_timeout_ms, nullptr, &error);
  if (!reply) {
    g_error_free(error);
    on_refused(owner);
    return false;
  }
  g_variant_unref(reply);
  watcher_owner_ = owner;
  refusals_ = 0;
  return true;
}

void tray_item::on_watcher_appeared(const std::string& owner) {
  watched_owner_ = owner;
  if (owner == watcher_owner_) return;  // already registered with this very watcher
  watcher_owner_.clear();
  refusals_ = 0;
  register_with(owner);
}

void tray_item::register_with(const std::string& owner) {
  g_dbus_connection_call(connection_, owner.c_str(), watcher_path, status_notifier_watcher,
                         "RegisterStatusNotifierItem", g_variant_new("(s)", bus_name_.c_str()), nullptr,
                         G_DBUS_CALL_FLAGS_NO_AUTO_START, register_timeout_ms, cancellable_,
                         &tray_item_glue::registered, new register_request{this, owner});
}

void tray_item::on_watcher_vanished() {
  watcher_owner_.clear();
  watched_owner_.clear();
  if (retry_source_) g_source_remove(retry_source_);
  retry_source_ = 0;
}

void tray_item::on_refused(const std::string& owner) {
  // Only the watcher still on the bus is asked again; a new one is asked when it appears.
  if (owner != watched_owner_ || retry_source_ != 0 || refusals_ >= most_refusals) return;
  const int wait_ms = std::min(longest_retry_ms, first_retry_ms << std::min(refusals_, 5));
  ++refusals_;
  retry_source_ = g_timeout_add(static_cast<guint>(wait_ms), &tray_item_glue::retry, this);
}

// A panel opened the icon's menu itself: the host hears the right button as it would on Windows.
void tray_item::on_menu_opened() {
  post(WM_RBUTTONDOWN);
  post(WM_RBUTTONUP);
}

void tray_item::set_icon(std::shared_ptr<const icon_image> icon, bool announce) {
  icon_ = std::move(icon);
  if (announce) emit("NewIcon");
}

void tray_item::set_tip(std::string tip, bool announce) {
  if (tip == tip_) return;
  tip_ = std::move(tip);
  if (announce) {
    emit("NewToolTip");
    emit("NewTitle");
  }
}

void tray_item::emit(const char* signal) {
  g_dbus_connection_emit_signal(connection_, nullptr, item_path, item_interface, signal, nullptr, nullptr);
}

void tray_item::on_click(const std::string& method) {
  if (method == "Activate") {
    const std::int64_t now = g_get_monotonic_time();
    const bool second = last_activate_us_ >= 0 && now - last_activate_us_ <= std::int64_t{double_click_ms()} * 1000;
    // A double click ends the pair: a third activation starts a new click.
    last_activate_us_ = second ? -1 : now;
    post(second ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN);
    post(WM_LBUTTONUP);
  } else if (method == "ContextMenu") {
    post(WM_RBUTTONDOWN);
    post(WM_RBUTTONUP);
  } else if (method == "SecondaryActivate") {
    post(WM_MBUTTONDOWN);
    post(WM_MBUTTONUP);
  }
}

void tray_item::post(std::uint32_t mouse_message) {
  window* target = window::from_handle(window_low16_, true);
  if (!target) {
    // The window is gone: the icon goes too, once this call has returned.
    g_idle_add(&tray_item_glue::drop_orphans, nullptr);
    return;
  }
  if (!has_callback_) return;
  window::post_message(target->hwnd(), callback_message_, uid_, static_cast<std::intptr_t>(mouse_message));
}

}  // namespace api32::win32
