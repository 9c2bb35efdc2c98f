// tray_bus.hpp - what the tray tests run on: a private session bus for the test process, a main-loop pump,
// and a StatusNotifierWatcher that plays the panel.
#pragma once

#include <gio/gio.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "loop_pump.hpp"

namespace api32::testing {

/// A panel: owns org.kde.StatusNotifierWatcher on the test's bus from a thread of its own (so it answers
/// while the item's synchronous registration waits on the main thread), records the items registered with
/// it and the signals they send, and drops items whose connection goes away.
class test_watcher {
public:
  test_watcher();
  ~test_watcher();
  test_watcher(const test_watcher&) = delete;
  test_watcher& operator=(const test_watcher&) = delete;

  /// True once the watcher owns its name.
  bool running() const { return running_; }
  /// The bus names of the items registered and still on the bus.
  std::vector<std::string> items() const;
  /// How many RegisterStatusNotifierItem calls arrived.
  int registrations() const;
  /// How many times `sender` emitted `signal` (NewIcon, NewToolTip, NewTitle).
  int signal_count(const std::string& sender, const std::string& signal) const;

  /// Calls a method of an item and waits (pumping the main context) for the reply; null on failure.
  GVariant* call(const std::string& item, const char* interface, const char* method, GVariant* parameters);
  /// The same at another object path of the item's connection (its menu).
  GVariant* call_at(const std::string& item, const char* path, const char* interface, const char* method,
                    GVariant* parameters);
  /// Refuses the next `count` registrations with an error, as a watcher that is not ready yet does.
  void refuse_registrations(int count);
  /// Sends a method call to an item without waiting for its reply.
  void send(const std::string& item, const char* method, GVariant* parameters);
  /// The item's properties (a{sv}), read with org.freedesktop.DBus.Properties.GetAll; null on failure.
  GVariant* properties(const std::string& item);

private:
  void run();
  friend struct watcher_glue;

  GMainContext* context_ = nullptr;
  GMainLoop* loop_ = nullptr;
  GDBusConnection* connection_ = nullptr;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool started_ = false;
  bool running_ = false;
  std::vector<std::string> items_;
  int registrations_ = 0;
  int refusals_left_ = 0;
  std::map<std::pair<std::string, std::string>, int> signals_;
};

/// The pixel at (x, y) of an IconPixmap entry as 0xAARRGGBB.
std::uint32_t pixmap_pixel(GVariant* pixmap_entry, int x, int y);
/// A property of an a{sv} dictionary, or null (a new reference).
GVariant* lookup(GVariant* dictionary, const char* name);

}  // namespace api32::testing
