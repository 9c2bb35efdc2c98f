// desktop_abi_host.cpp - what a C host needs beside the classes to drive the desktop: windows that tell it
// their messages (a callback or a queue), the main loop, the tray menu and its items as objects, and the
// items' clicked event as a callback. Exported by the module and reached through libapi32.so's api32_window_*,
// api32_pump and api32_set_event_callback.
#include <gtk/gtk.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "api32/abi/class_registry.hpp"
#include "api32/desktop_abi/desktop_abi_objects.hpp"
#include "api32/desktop_win32/desktop_tray_menu.hpp"
#include "api32/desktop_win32/gtk_session.hpp"

namespace api32::abi {
namespace {

constexpr std::size_t most_queued_messages = 4096;

// A host's window: every message it gets goes to the host's callback, or into its queue.
class host_window final : public api32::window {
public:
  explicit host_window(std::string title) : window(std::move(title), 800, 600) {
    set_message_hook([this](std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam) {
      const api32_message m{hwnd(), message, static_cast<std::uint64_t>(wparam), static_cast<std::int64_t>(lparam)};
      if (callback_) {
        callback_(this, &m, user_);
        return;
      }
      if (queue_.size() >= most_queued_messages) {
        ++dropped_;
        return;
      }
      queue_.push_back(m);
    });
  }

  void set_callback(api32_message_callback callback, void* user) {
    callback_ = callback;
    user_ = user;
  }
  bool next(api32_message& out) {
    if (queue_.empty()) return false;
    out = queue_.front();
    queue_.pop_front();
    return true;
  }
  std::uint64_t dropped() const { return dropped_; }

private:
  std::deque<api32_message> queue_;
  std::uint64_t dropped_ = 0;
  api32_message_callback callback_ = nullptr;
  void* user_ = nullptr;
};

std::mutex host_window_mutex;
std::set<const void*>& host_windows() {
  static auto* set = new std::set<const void*>();
  return *set;
}

host_window* host_window_of(const void* w) {
  std::lock_guard lock(host_window_mutex);
  return host_windows().count(w) ? static_cast<host_window*>(const_cast<void*>(w)) : nullptr;
}

using item = api32::trayicon_menu::menu_item;

// Changing an item through a variable shows the change in the popup and on panels.
variable_entry<item> refreshed(variable_entry<item> v) {
  auto set = v.set;
  v.set = [set](item& i, const api32_value& value) {
    api32_result* r = set(i, value);
    if (r->status == API32_OK && i.menu) i.menu->refresh();
    return r;
  };
  return v;
}

}  // namespace

class_binding<api32::trayicon_menu>& menu_binding() {
  using M = api32::trayicon_menu;
  static class_binding<M>* b = [] {
    auto* b = new class_binding<M>("trayicon_menu", "menu");
    b->variable(object_variable<M>("m_test", "menu_item",
                                   [](M& m) -> void* {
                                     menu_item_binding().adopt(&m.m_test);
                                     return &m.m_test;
                                   }))
        .function(fn("popmenu", &M::popmenu, {}))
        .factory([]() -> M* { return api32::desktop::gtk_ready() ? new M() : nullptr; })
        .on_destroy([](M& m) { menu_item_binding().disown(&m.m_test); });
    // Starts over as a new menu, in place: its items as built ("Test", enabled, shown, no clicked event),
    // still the menu of the icons that named it.
    b->event("constructor", [](M& m, const api32_value*) {
      const auto icons = api32::win32::tray_icons_naming(&m);
      menu_item_binding().disown(&m.m_test);
      m.~M();
      new (&m) M();
      for (const auto& [window_low16, uid] : icons) api32::win32::set_tray_icon_menu(window_low16, uid, &m);
      return finish(new_box());
    });
    b->event("destructor", [](M&, const api32_value*) { return finish(new_box()); });
    return b;
  }();
  return *b;
}

class_binding<api32::trayicon_menu::menu_item>& menu_item_binding() {
  static class_binding<item>* b = [] {
    auto* b = new class_binding<item>("menu_item", "menu");
    b->variable(refreshed(var("text", &item::text)))
        .variable(refreshed(var("enabled", &item::enabled)))
        .variable(refreshed(var("visible", &item::visible)))
        .factory([]() -> item* { return nullptr; });  // items exist only inside their menu
    // The item's clicked event, as a choice in the menu runs it (the host hears it through
    // api32_set_event_callback).
    b->event("clicked", [](item& i, const api32_value*) {
      if (i.clicked) {
        auto clicked = i.clicked;
        clicked();
      }
      return finish(new_box());
    });
    // Starts over as its menu built it; the host's pointer stays valid.
    b->event("constructor", [](item& i, const api32_value*) {
      if (i.menu) i.menu->reset_item(i);
      return finish(new_box());
    });
    b->event("destructor", [](item&, const api32_value*) { return finish(new_box()); });
    return b;
  }();
  return *b;
}

}  // namespace api32::abi

using api32::abi::host_window;

extern "C" {

API32_EXPORT const api32_vtable_info* api32_desktop_getVtableInfo_menu_item(void) {
  return api32::abi::guarded_info([] { return api32::abi::menu_item_binding().info(); });
}

API32_EXPORT void* api32_desktop_window_create(const char* title) {
  if (!api32::desktop::gtk_ready()) {
    api32::abi::set_last_error("no display: windows need GTK and a display (DISPLAY or WAYLAND_DISPLAY)");
    return nullptr;
  }
  try {  // nothing may unwind into a C caller
    auto w = std::make_unique<host_window>(title ? title : "");
    {
      std::lock_guard lock(api32::abi::host_window_mutex);
      api32::abi::host_windows().insert(w.get());
    }
    api32::abi::keep_abi_window(w.get());
    return w.release();
  } catch (...) {
    api32::abi::set_last_error("the window cannot be made");
    return nullptr;
  }
}

API32_EXPORT void api32_desktop_window_destroy(void* window) {
  {
    // checked and removed in one step: of two destroys of one window, only one deletes it
    std::lock_guard lock(api32::abi::host_window_mutex);
    if (api32::abi::host_windows().erase(window) == 0) return;
  }
  auto* w = static_cast<host_window*>(window);
  api32::abi::forget_abi_window(w);
  delete w;
}

API32_EXPORT uint32_t api32_desktop_window_handle(const void* window) {
  const host_window* w = api32::abi::host_window_of(window);
  return w ? w->hwnd() : 0;
}

API32_EXPORT int32_t api32_desktop_window_set_callback(void* window, api32_message_callback callback, void* user) {
  host_window* w = api32::abi::host_window_of(window);
  if (!w) return API32_E_OBJECT;
  w->set_callback(callback, user);
  return API32_OK;
}

API32_EXPORT int32_t api32_desktop_window_next_message(void* window, api32_message* out) {
  host_window* w = api32::abi::host_window_of(window);
  return w && out && w->next(*out) ? 1 : 0;
}

API32_EXPORT uint64_t api32_desktop_window_dropped(const void* window) {
  const host_window* w = api32::abi::host_window_of(window);
  return w ? w->dropped() : 0;
}

API32_EXPORT int32_t api32_desktop_send_message(uint32_t hwnd, uint32_t message, uint64_t wparam, int64_t lparam) {
  api32::window* w = api32::window::from_handle(hwnd);
  if (!w) return 0;
  w->send_message(message, static_cast<std::uintptr_t>(wparam), static_cast<std::intptr_t>(lparam));
  return 1;
}

API32_EXPORT int32_t api32_desktop_post_message(uint32_t hwnd, uint32_t message, uint64_t wparam, int64_t lparam) {
  return api32::window::post_message(hwnd, message, static_cast<std::uintptr_t>(wparam),
                                     static_cast<std::intptr_t>(lparam))
             ? 1
             : 0;
}

API32_EXPORT int32_t api32_desktop_pump(int32_t milliseconds) {
  if (!api32::desktop::gtk_ready()) return -1;
  int32_t handled = 0;
  const gint64 deadline = g_get_monotonic_time() + gint64{milliseconds > 0 ? milliseconds : 0} * 1000;
  do {
    while (g_main_context_iteration(nullptr, FALSE)) ++handled;
    if (g_get_monotonic_time() >= deadline) break;
    // Wait for the next event, but no longer than the time left.
    GSource* timer =
        g_timeout_source_new(static_cast<guint>(std::max<gint64>(1, (deadline - g_get_monotonic_time()) / 1000)));
    g_source_set_callback(
        timer, [](gpointer) { return G_SOURCE_REMOVE; }, nullptr, nullptr);
    g_source_attach(timer, nullptr);
    if (g_main_context_iteration(nullptr, TRUE)) ++handled;
    g_source_destroy(timer);
    g_source_unref(timer);
  } while (g_get_monotonic_time() < deadline);
  return handled;
}

API32_EXPORT int32_t api32_desktop_set_event_callback(void* object, const char* type_name, const char* event,
                                                      api32_event_callback callback, void* user) {
  if (!object || !type_name || !event) return API32_E_OBJECT;
  if (std::string(type_name) != "menu_item") return API32_E_OBJECT;
  auto* i = api32::abi::menu_item_binding().live(object);
  if (!i) return API32_E_OBJECT;
  if (std::string(event) != "clicked") return API32_E_INDEX;
  if (!callback) {
    i->clicked = nullptr;
    return API32_OK;
  }
  try {
    i->clicked = [callback, user, object] { callback(object, "clicked", user); };
  } catch (...) {
    return API32_E_FAILED;
  }
  return API32_OK;
}

}  // extern "C"
