// tray_bus.cpp - a private session bus for the test process, the main-loop pump and the test watcher.
//
// ctest runs test processes side by side on one session bus, and a panel name can have only one owner: each
// process therefore starts its own dbus-daemon before the first test and points the session address at it.
#include "tray_bus.hpp"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace api32::testing {
namespace {

class private_bus final : public ::testing::Environment {
public:
  void SetUp() override {
    const gchar* argv[] = {"dbus-daemon", "--session", "--nofork", "--print-address=1", nullptr};
    gint out = -1;
    GError* error = nullptr;
    // The daemon ends with this process even when a test crashes.
    auto die_with_parent = [](gpointer) { ::prctl(PR_SET_PDEATHSIG, SIGTERM); };
    if (!g_spawn_async_with_pipes(nullptr, const_cast<gchar**>(argv), nullptr,
                                  static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD),
                                  die_with_parent, nullptr, &pid_, nullptr, &out, nullptr, &error)) {
      pid_ = 0;
      const std::string reason = error->message;
      g_error_free(error);
      FAIL() << "cannot start a private dbus-daemon: " << reason;
    }
    std::string address;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (address.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      pollfd p = {out, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      char buffer[256];
      ssize_t n = ::read(out, buffer, sizeof buffer);
      if (n <= 0) break;
      address.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(out);
    const auto end = address.find('\n');
    // Without its own bus the tests would share the panel name with other test processes: better to stop.
    ASSERT_NE(end, std::string::npos) << "the private dbus-daemon gave no address";
    address.resize(end);
    ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
  }

  void TearDown() override {
    if (pid_ > 0) {  // only the daemon this process started
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
      g_spawn_close_pid(pid_);
      pid_ = 0;
    }
  }

private:
  GPid pid_ = 0;
};

[[maybe_unused]] ::testing::Environment* const bus_environment = ::testing::AddGlobalTestEnvironment(new private_bus);

constexpr const char* watcher_name = "org.kde.StatusNotifierWatcher";
constexpr const char* watcher_xml = R"xml(<node>
  <interface name="org.kde.StatusNotifierWatcher">
    <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
    <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
    <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/>
    <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
    <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
  </interface>
</node>)xml";

}  // namespace

struct watcher_glue {
  static void method_call(GDBusConnection* connection, const gchar* sender, const gchar*, const gchar*,
                          const gchar* method, GVariant* parameters, GDBusMethodInvocation* invocation, gpointer self) {
    auto* w = static_cast<test_watcher*>(self);
    if (g_strcmp0(method, "RegisterStatusNotifierItem") == 0) {
      const gchar* service = nullptr;
      g_variant_get(parameters, "(&s)", &service);
      // A service given as an object path belongs to the caller's connection.
      std::string name = service[0] == '/' ? sender : service;
      {
        std::lock_guard lock(w->mutex_);
        if (w->refusals_left_ > 0) {
          --w->refusals_left_;
          ++w->registrations_;
          g_dbus_method_invocation_return_dbus_error(invocation, "org.freedesktop.DBus.Error.Failed", "not ready");
          return;
        }
        ++w->registrations_;
        bool known = false;
        for (const auto& item : w->items_) known = known || item == name;
        if (!known) w->items_.push_back(name);
      }
      w->changed_.notify_all();
      g_dbus_connection_emit_signal(connection, nullptr, "/StatusNotifierWatcher", watcher_name,
                                    "StatusNotifierItemRegistered", g_variant_new("(s)", name.c_str()), nullptr);
    }
    g_dbus_method_invocation_return_value(invocation, nullptr);
  }

  static GVariant* get_property(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* name, GError**,
                                gpointer self) {
    auto* w = static_cast<test_watcher*>(self);
    if (g_strcmp0(name, "IsStatusNotifierHostRegistered") == 0) return g_variant_new_boolean(TRUE);
    if (g_strcmp0(name, "ProtocolVersion") == 0) return g_variant_new_int32(0);
    GVariantBuilder list;
    g_variant_builder_init(&list, G_VARIANT_TYPE("as"));
    for (const auto& item : w->items()) g_variant_builder_add(&list, "s", item.c_str());
    return g_variant_builder_end(&list);
  }

  static void name_owner_changed(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                                 GVariant* parameters, gpointer self) {
    auto* w = static_cast<test_watcher*>(self);
    const gchar* name = nullptr;
    const gchar* old_owner = nullptr;
    const gchar* new_owner = nullptr;
    g_variant_get(parameters, "(&s&s&s)", &name, &old_owner, &new_owner);
    if (*new_owner != '\0') return;
    {
      std::lock_guard lock(w->mutex_);
      std::erase(w->items_, std::string(name));
    }
    w->changed_.notify_all();
  }

  static void item_signal(GDBusConnection*, const gchar* sender, const gchar*, const gchar*, const gchar* signal,
                          GVariant*, gpointer self) {
    auto* w = static_cast<test_watcher*>(self);
    std::lock_guard lock(w->mutex_);
    ++w->signals_[{sender, signal}];
  }

  static void acquired(GDBusConnection*, const gchar*, gpointer self) { set_state(self, true); }
  static void lost(GDBusConnection*, const gchar*, gpointer self) { set_state(self, false); }

  static void set_state(gpointer self, bool running) {
    auto* w = static_cast<test_watcher*>(self);
    {
      std::lock_guard lock(w->mutex_);
      w->started_ = true;
      w->running_ = running;
    }
    w->changed_.notify_all();
  }
};

test_watcher::test_watcher() {
  context_ = g_main_context_new();
  loop_ = g_main_loop_new(context_, FALSE);
  thread_ = std::thread([this] { run(); });
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, std::chrono::seconds(15), [this] { return started_; });
}

test_watcher::~test_watcher() {
  g_main_context_invoke(
      context_,
      [](gpointer loop) -> gboolean {
        g_main_loop_quit(static_cast<GMainLoop*>(loop));
        return G_SOURCE_REMOVE;
      },
      loop_);
  thread_.join();
  g_main_loop_unref(loop_);
  g_main_context_unref(context_);
}

void test_watcher::run() {
  g_main_context_push_thread_default(context_);
  GError* error = nullptr;
  gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  connection_ = address ? g_dbus_connection_new_for_address_sync(
                              address,
                              static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                                                G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
                              nullptr, nullptr, &error)
                        : nullptr;
  g_free(address);
  if (!connection_) {
    if (error) g_error_free(error);
    watcher_glue::set_state(this, false);
    g_main_context_pop_thread_default(context_);
    return;
  }
  GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(watcher_xml, nullptr);
  static const GDBusInterfaceVTable vtable = {&watcher_glue::method_call, &watcher_glue::get_property, nullptr, {}};
  guint object = g_dbus_connection_register_object(connection_, "/StatusNotifierWatcher", node->interfaces[0], &vtable,
                                                   this, nullptr, nullptr);
  guint owners = g_dbus_connection_signal_subscribe(
      connection_, "org.freedesktop.DBus", "org.freedesktop.DBus", "NameOwnerChanged", "/org/freedesktop/DBus", nullptr,
      G_DBUS_SIGNAL_FLAGS_NONE, &watcher_glue::name_owner_changed, this, nullptr);
  guint signals = g_dbus_connection_signal_subscribe(connection_, nullptr, "org.kde.StatusNotifierItem", nullptr,
                                                     "/StatusNotifierItem", nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
                                                     &watcher_glue::item_signal, this, nullptr);
  guint own = g_bus_own_name_on_connection(connection_, watcher_name, G_BUS_NAME_OWNER_FLAGS_DO_NOT_QUEUE,
                                           &watcher_glue::acquired, &watcher_glue::lost, this, nullptr);
  g_main_loop_run(loop_);
  g_bus_unown_name(own);
  g_dbus_connection_signal_unsubscribe(connection_, signals);
  g_dbus_connection_signal_unsubscribe(connection_, owners);
  g_dbus_connection_unregister_object(connection_, object);
  g_dbus_node_info_unref(node);
  g_dbus_connection_flush_sync(connection_, nullptr, nullptr);
  g_dbus_connection_close_sync(connection_, nullptr, nullptr);
  // Let the unown and close finish their work in this context before it goes.
  while (g_main_context_iteration(context_, FALSE)) {
  }
  g_object_unref(connection_);
  connection_ = nullptr;
  g_main_context_pop_thread_default(context_);
}

std::vector<std::string> test_watcher::items() const {
  std::lock_guard lock(mutex_);
  return items_;
}

int test_watcher::registrations() const {
  std::lock_guard lock(mutex_);
  return registrations_;
}

int test_watcher::signal_count(const std::string& sender, const std::string& signal) const {
  std::lock_guard lock(mutex_);
  auto found = signals_.find({sender, signal});
  return found == signals_.end() ? 0 : found->second;
}

GVariant* test_watcher::call(const std::string& item, const char* interface, const char* method, GVariant* parameters) {
  return call_at(item, "/StatusNotifierItem", interface, method, parameters);
}

void test_watcher::refuse_registrations(int count) {
  std::lock_guard lock(mutex_);
  refusals_left_ = count;
}

GVariant* test_watcher::call_at(const std::string& item, const char* path, const char* interface, const char* method,
                                GVariant* parameters) {
  struct outcome {
    bool done = false;
    GVariant* reply = nullptr;
  } result;
  g_dbus_connection_call(
      connection_, item.c_str(), path, interface, method, parameters, nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, 10000,
      nullptr,
      [](GObject* source, GAsyncResult* res, gpointer data) {
        auto* out = static_cast<outcome*>(data);
        out->reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), res, nullptr);
        out->done = true;
      },
      &result);
  pump_until([&] { return result.done; });
  return result.reply;
}

void test_watcher::send(const std::string& item, const char* method, GVariant* parameters) {
  g_dbus_connection_call(connection_, item.c_str(), "/StatusNotifierItem", "org.kde.StatusNotifierItem", method,
                         parameters, nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, 10000, nullptr, nullptr, nullptr);
}

GVariant* test_watcher::properties(const std::string& item) {
  GVariant* reply =
      call(item, "org.freedesktop.DBus.Properties", "GetAll", g_variant_new("(s)", "org.kde.StatusNotifierItem"));
  if (!reply) return nullptr;
  GVariant* all = g_variant_get_child_value(reply, 0);
  g_variant_unref(reply);
  return all;
}

std::uint32_t pixmap_pixel(GVariant* entry, int x, int y) {
  gint32 width = 0;
  gint32 height = 0;
  GVariant* bytes = nullptr;
  g_variant_get(entry, "(ii@ay)", &width, &height, &bytes);
  gsize size = 0;
  const auto* data = static_cast<const std::uint8_t*>(g_variant_get_fixed_array(bytes, &size, 1));
  std::uint32_t pixel = 0;
  const std::size_t at =
      (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 4;
  if (x < width && y < height && at + 4 <= size)
    pixel = (std::uint32_t{data[at]} << 24) | (std::uint32_t{data[at + 1]} << 16) | (std::uint32_t{data[at + 2]} << 8) |
            data[at + 3];
  g_variant_unref(bytes);
  return pixel;
}

GVariant* lookup(GVariant* dictionary, const char* name) {
  return dictionary ? g_variant_lookup_value(dictionary, name, nullptr) : nullptr;
}

}  // namespace api32::testing
