// desktop_tray_menu.cpp - the menus named for notification-area icons, and their export to panels over
// com.canonical.dbusmenu (GetLayout, GetGroupProperties, GetProperty, Event, EventGroup, AboutToShow,
// AboutToShowGroup; LayoutUpdated when the host changes an entry).
#include <gio/gio.h>

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "api32/win32/desktop_tray_menu_export.hpp"

namespace api32::win32 {
namespace {

constexpr const char* menu_interface = "com.canonical.dbusmenu";
constexpr std::int64_t panel_menu_window_us = 2'000'000;  // how long a panel's opening answers the host's popup
// The calls one opening makes (AboutToShow, then the "opened" event) come within this time of each other.
constexpr std::int64_t one_opening_us = 300'000;

constexpr const char* introspection_xml = R"xml(<node>
  <interface name="com.canonical.dbusmenu">
    <property name="Version" type="u" access="read"/>
    <property name="TextDirection" type="s" access="read"/>
    <property name="Status" type="s" access="read"/>
    <property name="IconThemePath" type="as" access="read"/>
    <method name="GetLayout">
      <arg type="i" name="parentId" direction="in"/><arg type="i" name="recursionDepth" direction="in"/>
      <arg type="as" name="propertyNames" direction="in"/>
      <arg type="u" name="revision" direction="out"/><arg type="(ia{sv}av)" name="layout" direction="out"/>
    </method>
    <method name="GetGroupProperties">
      <arg type="ai" name="ids" direction="in"/><arg type="as" name="propertyNames" direction="in"/>
      <arg type="a(ia{sv})" name="properties" direction="out"/>
    </method>
    <method name="GetProperty">
      <arg type="i" name="id" direction="in"/><arg type="s" name="name" direction="in"/>
      <arg type="v" name="value" direction="out"/>
    </method>
    <method name="Event">
      <arg type="i" name="id" direction="in"/><arg type="s" name="eventId" direction="in"/>
      <arg type="v" name="data" direction="in"/><arg type="u" name="timestamp" direction="in"/>
    </method>
    <method name="EventGroup">
      <arg type="a(isvu)" name="events" direction="in"/><arg type="ai" name="idErrors" direction="out"/>
    </method>
    <method name="AboutToShow">
      <arg type="i" name="id" direction="in"/><arg type="b" name="needUpdate" direction="out"/>
    </method>
    <method name="AboutToShowGroup">
      <arg type="ai" name="ids" direction="in"/>
      <arg type="ai" name="updatesNeeded" direction="out"/><arg type="ai" name="idErrors" direction="out"/>
    </method>
    <signal name="ItemsPropertiesUpdated">
      <arg type="a(ia{sv})" name="updatedProps"/><arg type="a(ias)" name="removedProps"/>
    </signal>
    <signal name="LayoutUpdated"><arg type="u" name="revision"/><arg type="i" name="parent"/></signal>
    <signal name="ItemActivationRequested"><arg type="i" name="id"/><arg type="u" name="timestamp"/></signal>
  </interface>
</node>)xml";

GDBusInterfaceInfo* menu_interface_info() {
  static GDBusInterfaceInfo* info = parse_interface(introspection_xml, menu_interface);
  return info;
}

// The ids of a call whose first argument is an array of them (GetGroupProperties, AboutToShowGroup).
std::vector<std::int32_t> ids_of(GVariant* parameters) {
  GVariant* array = g_variant_get_child_value(parameters, 0);
  gsize count = 0;
  const auto* ids = static_cast<const std::int32_t*>(g_variant_get_fixed_array(array, &count, sizeof(std::int32_t)));
  std::vector<std::int32_t> out(ids, ids + count);
  g_variant_unref(array);
  return out;
}

// Live menus by serial number, so that a click queued for a menu destroyed in between finds nothing.
struct source_state {
  tray_menu_source* source = nullptr;
  std::int64_t panel_opened_us = -1;  // when a panel last opened the menu; -1 when it is closed
};
std::uint64_t next_serial = 1;
std::map<std::uint64_t, source_state>& live_sources() {
  static auto* map = new std::map<std::uint64_t, source_state>();
  return *map;
}
source_state* state_of(const tray_menu_source* source) {
  for (auto& [serial, state] : live_sources())
    if (state.source == source) return &state;
  return nullptr;
}
std::uint64_t serial_of(const tray_menu_source* source) {
  for (auto& [serial, state] : live_sources())
    if (state.source == source) return serial;
  return 0;
}

std::map<std::pair<std::uint16_t, std::uint32_t>, tray_menu_source*>& icon_menus() {
  static auto* map = new std::map<std::pair<std::uint16_t, std::uint32_t>, tray_menu_source*>();
  return *map;
}

std::set<tray_menu_export*>& exports() {
  static auto* set = new std::set<tray_menu_export*>();
  return *set;
}

// dbusmenu labels mark their access key with an underscore: a literal one is doubled.
std::string label_of(const std::string& text) {
  std::string label;
  for (char c : text) {
    label += c;
    if (c == '_') label += '_';
  }
  return label;
}

bool wanted(GVariant* names, const char* name) {
  if (!names || g_variant_n_children(names) == 0) return true;
  for (gsize i = 0; i < g_variant_n_children(names); ++i) {
    const gchar* n = nullptr;
    g_variant_get_child(names, i, "&s", &n);
    if (g_strcmp0(n, name) == 0) return true;
  }
  return false;
}

GVariant* entry_properties(const tray_menu_entry& e, GVariant* names) {
  GVariantBuilder props;
  g_variant_builder_init(&props, G_VARIANT_TYPE("a{sv}"));
  if (wanted(names, "label"))
    g_variant_builder_add(&props, "{sv}", "label", g_variant_new_string(label_of(e.text).c_str()));
  if (wanted(names, "enabled")) g_variant_builder_add(&props, "{sv}", "enabled", g_variant_new_boolean(e.enabled));
  if (wanted(names, "visible")) g_variant_builder_add(&props, "{sv}", "visible", g_variant_new_boolean(e.visible));
  return g_variant_builder_end(&props);
}

GVariant* root_properties(GVariant* names) {
  GVariantBuilder props;
  g_variant_builder_init(&props, G_VARIANT_TYPE("a{sv}"));
  if (wanted(names, "children-display"))
    g_variant_builder_add(&props, "{sv}", "children-display", g_variant_new_string("submenu"));
  return g_variant_builder_end(&props);
}

GVariant* entry_node(const tray_menu_entry& e, GVariant* names) {
  GVariant* no_children = g_variant_new_array(G_VARIANT_TYPE_VARIANT, nullptr, 0);
  return g_variant_new("(i@a{sv}@av)", e.id, entry_properties(e, names), no_children);
}

struct queued_click {
  std::uint64_t serial;
  std::int32_t id;
};

gboolean deliver_click(gpointer data) {
  const auto* click = static_cast<const queued_click*>(data);
  auto found = live_sources().find(click->serial);
  if (found != live_sources().end()) found->second.source->tray_menu_clicked(click->id);
  return G_SOURCE_REMOVE;
}

void free_click(gpointer data) { delete static_cast<queued_click*>(data); }

}  // namespace

GDBusInterfaceInfo* parse_interface(const char* xml, const char* name) {
  GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(xml, nullptr);
  GDBusInterfaceInfo* found = g_dbus_interface_info_ref(g_dbus_node_info_lookup_interface(node, name));
  g_dbus_node_info_unref(node);
  return found;
}

// ---- the menus ----------------------------------------------------------------------------------------------

tray_menu_source::tray_menu_source() { live_sources()[next_serial++] = source_state{this, -1}; }

tray_menu_source::~tray_menu_source() {
  live_sources().erase(serial_of(this));
  for (auto it = icon_menus().begin(); it != icon_menus().end();) {
    if (it->second == this)
      it = icon_menus().erase(it);
    else
      ++it;
  }
}

void tray_menu_source::changed() {
  for (tray_menu_export* e : exports())
    if (e->menu() == this) e->layout_changed();
}

void set_tray_icon_menu(std::uint32_t hwnd, std::uint32_t uid, tray_menu_source* menu) {
  const std::pair<std::uint16_t, std::uint32_t> key{static_cast<std::uint16_t>(hwnd & 0xFFFFu), uid};
  if (menu)
    icon_menus()[key] = menu;
  else
    icon_menus().erase(key);
  for (tray_menu_export* e : exports()) e->layout_changed();
}

tray_menu_source* tray_icon_menu(std::uint16_t window_low16, std::uint32_t uid) {
  auto found = icon_menus().find({window_low16, uid});
  return found == icon_menus().end() ? nullptr : found->second;
}

std::vector<std::pair<std::uint16_t, std::uint32_t>> tray_icons_naming(const tray_menu_source* menu) {
  std::vector<std::pair<std::uint16_t, std::uint32_t>> icons;
  for (const auto& [key, named] : icon_menus())
    if (named == menu) icons.push_back(key);
  return icons;
}

bool tray_menu_shown_by_panel(const tray_menu_source* menu) {
  const source_state* state = menu ? state_of(menu) : nullptr;
  return state && state->panel_opened_us >= 0 &&
         g_get_monotonic_time() - state->panel_opened_us <= panel_menu_window_us;
}

// ---- the export -----------------------------------------------------------------------------------------------

struct tray_menu_glue {
  static void method_call(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                          GVariant* parameters, GDBusMethodInvocation* invocation, gpointer self) {
    GVariant* error_text = nullptr;
    GVariant* reply = static_cast<tray_menu_export*>(self)->handle(method, parameters, &error_text);
    if (error_text) {
      g_dbus_method_invocation_return_dbus_error(invocation, "com.canonical.dbusmenu.Error",
                                                 g_variant_get_string(error_text, nullptr));
      g_variant_unref(error_text);
      return;
    }
    g_dbus_method_invocation_return_value(invocation, reply);
  }

  static GVariant* get_property(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* name,
                                GError** error, gpointer) {
    const std::string property = name;
    if (property == "Version") return g_variant_new_uint32(3);
    if (property == "TextDirection") return g_variant_new_string("ltr");
    if (property == "Status") return g_variant_new_string("normal");
    if (property == "IconThemePath") return g_variant_new_strv(nullptr, 0);
    g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "no property %s", name);
    return nullptr;
  }
};

namespace {
const GDBusInterfaceVTable menu_vtable = {&tray_menu_glue::method_call, &tray_menu_glue::get_property, nullptr, {}};
}

std::unique_ptr<tray_menu_export> tray_menu_export::create(GDBusConnection* connection,
                                                           std::function<tray_menu_source*()> menu,
                                                           std::function<void()> opened) {
  std::unique_ptr<tray_menu_export> e(new tray_menu_export());
  e->connection_ = connection;
  e->menu_ = std::move(menu);
  e->opened_ = std::move(opened);
  GError* error = nullptr;
  e->object_id_ = g_dbus_connection_register_object(connection, path, menu_interface_info(), &menu_vtable, e.get(),
                                                    nullptr, &error);
  if (e->object_id_ == 0) {
    g_error_free(error);
    return nullptr;
  }
  exports().insert(e.get());
  return e;
}

tray_menu_export::~tray_menu_export() {
  exports().erase(this);
  if (object_id_) g_dbus_connection_unregister_object(connection_, object_id_);
}

void tray_menu_export::layout_changed() {
  ++revision_;
  g_dbus_connection_emit_signal(connection_, nullptr, path, menu_interface, "LayoutUpdated",
                                g_variant_new("(ui)", revision_, 0), nullptr);
}

GVariant* tray_menu_export::layout(std::int32_t parent, std::int32_t depth) const {
  tray_menu_source* source = menu();
  GVariantBuilder children;
  g_variant_builder_init(&children, G_VARIANT_TYPE("av"));
  std::vector<tray_menu_entry> entries;
  if (source) entries = source->tray_menu_entries();
  if (parent == 0) {
    if (depth != 0)
      for (const auto& e : entries) g_variant_builder_add(&children, "v", entry_node(e, nullptr));
    return g_variant_new("(u(i@a{sv}av))", revision_, 0, root_properties(nullptr), &children);
  }
  for (const auto& e : entries)
    if (e.id == parent) {
      g_variant_builder_clear(&children);
      return g_variant_new("(u@(ia{sv}av))", revision_, entry_node(e, nullptr));
    }
  g_variant_builder_clear(&children);
  return nullptr;
}

GVariant* tray_menu_export::handle(const char* method, GVariant* parameters, GVariant** error_text) {
  const std::string name = method;
  tray_menu_source* source = menu();
  const std::vector<tray_menu_entry> entries = source ? source->tray_menu_entries() : std::vector<tray_menu_entry>{};
  auto known = [&](std::int32_t id) {
    if (id == 0) return true;
    for (const auto& e : entries)
      if (e.id == id) return true;
    return false;
  };
  if (name == "GetLayout") {
    std::int32_t parent = 0;
    std::int32_t depth = -1;
    g_variant_get(parameters, "(ii@as)", &parent, &depth, nullptr);
    if (GVariant* reply = layout(parent, depth)) return reply;
    *error_text = g_variant_ref_sink(g_variant_new_string("no such menu entry"));
    return nullptr;
  }
  if (name == "GetGroupProperties") {
    GVariant* names = g_variant_get_child_value(parameters, 1);
    GVariantBuilder out;
    g_variant_builder_init(&out, G_VARIANT_TYPE("a(ia{sv})"));
    for (std::int32_t id : ids_of(parameters)) {
      if (id == 0) g_variant_builder_add(&out, "(i@a{sv})", 0, root_properties(names));
      for (const auto& e : entries)
        if (e.id == id) g_variant_builder_add(&out, "(i@a{sv})", id, entry_properties(e, names));
    }
    g_variant_unref(names);
    return g_variant_new("(a(ia{sv}))", &out);
  }
  if (name == "GetProperty") {
    std::int32_t id = 0;
    const gchar* property = nullptr;
    g_variant_get(parameters, "(i&s)", &id, &property);
    const gchar* one[] = {property, nullptr};
    GVariant* names = g_variant_ref_sink(g_variant_new_strv(one, 1));
    GVariant* props = nullptr;
    if (id == 0) props = root_properties(names);
    for (const auto& e : entries)
      if (e.id == id) props = entry_properties(e, names);
    g_variant_unref(names);
    GVariant* value = props ? g_variant_lookup_value(props, property, nullptr) : nullptr;
    if (props) g_variant_unref(g_variant_ref_sink(props));
    if (!value) {
      *error_text = g_variant_ref_sink(g_variant_new_string("no such menu entry or property"));
      return nullptr;
    }
    return g_variant_new("(v)", value);
  }
  if (name == "Event") {
    std::int32_t id = 0;
    const gchar* event_name = nullptr;
    g_variant_get(parameters, "(i&svu)", &id, &event_name, nullptr, nullptr);
    if (!known(id)) {
      *error_text = g_variant_ref_sink(g_variant_new_string("no such menu entry"));
      return nullptr;
    }
    event(id, event_name);
    return nullptr;
  }
  if (name == "EventGroup") {
    GVariant* events = g_variant_get_child_value(parameters, 0);
    GVariantBuilder errors;
    g_variant_builder_init(&errors, G_VARIANT_TYPE("ai"));
    for (gsize i = 0; i < g_variant_n_children(events); ++i) {
      std::int32_t id = 0;
      const gchar* event_name = nullptr;
      g_variant_get_child(events, i, "(i&svu)", &id, &event_name, nullptr, nullptr);
      if (known(id))
        event(id, event_name);
      else
        g_variant_builder_add(&errors, "i", id);
    }
    g_variant_unref(events);
    return g_variant_new("(ai)", &errors);
  }
  if (name == "AboutToShow") {
    std::int32_t id = 0;
    g_variant_get(parameters, "(i)", &id);
    about_to_show(id);
    return g_variant_new("(b)", FALSE);
  }
  if (name == "AboutToShowGroup") {
    GVariantBuilder errors;
    g_variant_builder_init(&errors, G_VARIANT_TYPE("ai"));
    for (std::int32_t id : ids_of(parameters)) {
      if (known(id))
        about_to_show(id);
      else
        g_variant_builder_add(&errors, "i", id);
    }
    return g_variant_new("(@ai@ai)", g_variant_new_array(G_VARIANT_TYPE_INT32, nullptr, 0),
                         g_variant_builder_end(&errors));
  }
  *error_text = g_variant_ref_sink(g_variant_new_string("unknown method"));
  return nullptr;
}

// Panels tell an opening of the menu by AboutToShow of the root, by its "opened" event, or by both: each
// opening is reported to the host once.
void tray_menu_export::about_to_show(std::int32_t id) {
  if (id != 0) return;
  source_state* state = state_of(menu());
  if (!state) return;
  const std::int64_t now = g_get_monotonic_time();
  if (state->panel_opened_us >= 0 && now - state->panel_opened_us <= one_opening_us) return;
  state->panel_opened_us = now;
  if (opened_) opened_();
}

void tray_menu_export::event(std::int32_t id, const char* name) {
  const std::string event_name = name ? name : "";
  source_state* state = state_of(menu());
  if (!state) return;
  if (event_name == "opened") {
    about_to_show(id);
  } else if (event_name == "closed") {
    if (id == 0) state->panel_opened_us = -1;
  } else if (event_name == "clicked" && id != 0) {
    for (const auto& e : state->source->tray_menu_entries())
      if (e.id == id && e.enabled && e.visible) {
        state->panel_opened_us = -1;  // choosing an entry closes the menu
        g_idle_add_full(G_PRIORITY_DEFAULT, deliver_click, new queued_click{serial_of(state->source), id}, free_click);
        break;
      }
  }
}

}  // namespace api32::win32
