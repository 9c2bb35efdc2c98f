// win32_tray_test.cpp - Shell_NotifyIconA against a test panel on a private bus: registration, properties,
// changes, removal, clicks; and the tooltip text rules.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstring>
#include <optional>

#include "api32/desktop_win32/desktop_tray.hpp"
#include "api32/desktop_win32/window.hpp"
#include "icon_files.hpp"
#include "support/test_support.hpp"
#include "tray_bus.hpp"

namespace api32::win32 {
namespace {

using api32::testing::pump_until;
using api32::testing::temp_dir;
using api32::testing::test_watcher;

constexpr std::int32_t callback = 0x8001;

struct received {
  std::uint32_t message;
  std::uintptr_t wparam;
  std::intptr_t lparam;
  friend bool operator==(const received&, const received&) = default;
};

std::ostream& operator<<(std::ostream& out, const received& r) {
  return out << "{" << r.message << ", " << r.wparam << ", 0x" << std::hex << r.lparam << std::dec << "}";
}

notifyicondata block(const window& w, std::int32_t uid, std::uint32_t flags, HICON icon, const char* tip) {
  notifyicondata data;
  data.cbsize = sizeof data;
  data.hwnd = static_cast<std::int32_t>(w.hwnd());
  data.uid = uid;
  data.uflags = static_cast<std::int32_t>(flags);
  data.ucallbackmessage = callback;
  data.hicon = static_cast<std::int32_t>(icon);
  std::strncpy(data.sztip, tip, sizeof data.sztip);
  return data;
}

std::string string_property(GVariant* all, const char* name) {
  GVariant* value = api32::testing::lookup(all, name);
  std::string text = value ? g_variant_get_string(value, nullptr) : "<none>";
  if (value) g_variant_unref(value);
  return text;
}

std::string tooltip_title(GVariant* all) {
  GVariant* value = api32::testing::lookup(all, "ToolTip");
  if (!value) return "<none>";
  const gchar* title = nullptr;
  g_variant_get_child(value, 2, "&s", &title);
  std::string text = title;
  g_variant_unref(value);
  return text;
}

// The first IconPixmap entry's size and its top-left and bottom-right pixels; nullopt when there is none.
struct shown_icon {
  int width;
  int height;
  std::uint32_t top_left;
  std::uint32_t bottom_right;
};
std::optional<shown_icon> icon_property(GVariant* all) {
  GVariant* pixmaps = api32::testing::lookup(all, "IconPixmap");
  if (!pixmaps) return std::nullopt;
  std::optional<shown_icon> shown;
  if (g_variant_n_children(pixmaps) > 0) {
    GVariant* entry = g_variant_get_child_value(pixmaps, 0);
    gint32 width = 0;
    gint32 height = 0;
    g_variant_get_child(entry, 0, "i", &width);
    g_variant_get_child(entry, 1, "i", &height);
    shown = shown_icon{width, height, api32::testing::pixmap_pixel(entry, 0, 0),
                       api32::testing::pixmap_pixel(entry, width - 1, height - 1)};
    g_variant_unref(entry);
  }
  g_variant_unref(pixmaps);
  return shown;
}

class ShellNotifyIcon : public ::testing::Test {
protected:
  void SetUp() override {
    testing::write_ico(dir / "blue.ico", {{16, 0xFF0000FF, 0xFF0000FF}});
    testing::write_ico(dir / "red.ico", {{32, 0xFFFF0000, 0xFF00FF00}});
    blue = LoadImageA(0, dir / "blue.ico", IMAGE_ICON, 0, 0, LR_LOADFROMFILE);
    red = LoadImageA(0, dir / "red.ico", IMAGE_ICON, 0, 0, LR_LOADFROMFILE);
    ASSERT_NE(blue, 0u);
    ASSERT_NE(red, 0u);
    host.set_message_hook([this](std::uint32_t m, std::uintptr_t w, std::intptr_t l) {
      messages.push_back({m, w, l});
    });
  }
  void TearDown() override {
    for (std::int32_t uid : {0, 1}) {
      notifyicondata data = block(host, uid, 0, 0, "");
      Shell_NotifyIconA(NIM_DELETE, &data);
    }
    DestroyIcon(blue);
    DestroyIcon(red);
  }

  // Adds the icon with a panel present and returns the item's bus name.
  std::string add_shown(test_watcher& panel, notifyicondata data) {
    const std::size_t before = panel.items().size();
    EXPECT_EQ(Shell_NotifyIconA(NIM_ADD, &data), TRUE_);
    std::vector<std::string> items = panel.items();
    return items.size() > before ? items.back() : std::string();
  }

  temp_dir dir;
  window host{"tray host", 100, 100};
  HICON blue = 0;
  HICON red = 0;
  std::vector<received> messages;
};

TEST_F(ShellNotifyIcon, AddShowsIconTipAndTitleModifyChangesThemDeleteRemoves) {
  test_watcher panel;
  ASSERT_TRUE(panel.running());
  std::string item = add_shown(panel, block(host, 0, NIF_MESSAGE | NIF_ICON | NIF_TIP, blue, "Add-on manager"));
  ASSERT_FALSE(item.empty());
  GVariant* all = panel.properties(item);
  ASSERT_TRUE(all);
  EXPECT_EQ(string_property(all, "Title"), "Add-on manager");
  EXPECT_EQ(tooltip_title(all), "Add-on manager");
  EXPECT_EQ(string_property(all, "Status"), "Active");
  auto icon = icon_property(all);
  ASSERT_TRUE(icon);
  EXPECT_EQ(icon->width, 16);
  EXPECT_EQ(icon->top_left, 0xFF0000FFu);
  g_variant_unref(all);

  // The shell keeps its own copy: the caller may release its icon at once.
  notifyicondata changed = block(host, 0, NIF_ICON | NIF_TIP, red, "Updating");
  EXPECT_EQ(Shell_NotifyIconA(NIM_MODIFY, &changed), TRUE_);
  DestroyIcon(red);
  red = 0;
  ASSERT_TRUE(pump_until([&] {
    return panel.signal_count(item, "NewIcon") == 1 && panel.signal_count(item, "NewToolTip") == 1 &&
           panel.signal_count(item, "NewTitle") == 1;
  }));
  all = panel.properties(item);
  ASSERT_TRUE(all);
  EXPECT_EQ(tooltip_title(all), "Updating");
  icon = icon_property(all);
  ASSERT_TRUE(icon);
  EXPECT_EQ(icon->width, 32);
  EXPECT_EQ(icon->top_left, 0xFFFF0000u);
  EXPECT_EQ(icon->bottom_right, 0xFF00FF00u);
  g_variant_unref(all);

  // A change without NIF_TIP leaves the tip alone and says nothing about it.
  notifyicondata icon_only = block(host, 0, NIF_ICON, blue, "ignored");
  EXPECT_EQ(Shell_NotifyIconA(NIM_MODIFY, &icon_only), TRUE_);
  ASSERT_TRUE(pump_until([&] { return panel.signal_count(item, "NewIcon") == 2; }));
  all = panel.properties(item);
  EXPECT_EQ(tooltip_title(all), "Updating");
  EXPECT_EQ(panel.signal_count(item, "NewToolTip"), 1);
  g_variant_unref(all);

  notifyicondata removal = block(host, 0, 0, 0, "");
  EXPECT_EQ(Shell_NotifyIconA(NIM_DELETE, &removal), TRUE_);
  EXPECT_TRUE(pump_until([&] { return panel.items().empty(); }));
  EXPECT_EQ(tray_icon_count(), 0u);
}

TEST_F(ShellNotifyIcon, OneItemPerWindowAndNumber) {
  test_watcher panel;
  ASSERT_TRUE(panel.running());
  notifyicondata first = block(host, 0, NIF_ICON | NIF_TIP, blue, "first");
  ASSERT_EQ(Shell_NotifyIconA(NIM_ADD, &first), TRUE_);
  SetLastError(0);
  EXPECT_EQ(Shell_NotifyIconA(NIM_ADD, &first), FALSE_);  // shown already: no second item
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  notifyicondata second = block(host, 1, NIF_ICON | NIF_TIP, red, "second");
  EXPECT_EQ(Shell_NotifyIconA(NIM_ADD, &second), TRUE_);
  EXPECT_EQ(panel.items().size(), 2u);
  EXPECT_EQ(panel.registrations(), 2);
  EXPECT_EQ(tray_icon_count(), 2u);
}

TEST_F(ShellNotifyIcon, RefusesWhatIsNotThere) {
  test_watcher panel;
  ASSERT_TRUE(panel.running());
  notifyicondata data = block(host, 0, NIF_ICON | NIF_TIP, blue, "x");
  SetLastError(0);
  EXPECT_EQ(Shell_NotifyIconA(NIM_DELETE, &data), FALSE_);
  EXPECT_EQ(GetLastError(), ERROR_NOT_FOUND);
  EXPECT_EQ(Shell_NotifyIconA(NIM_MODIFY, &data), FALSE_);
  EXPECT_EQ(Shell_NotifyIconA(NIM_ADD, nullptr), FALSE_);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Shell_NotifyIconA(7, &data), FALSE_);
  notifyicondata no_window = data;
  no_window.hwnd = 0;
  EXPECT_EQ(Shell_NotifyIconA(NIM_ADD, &no_window), FALSE_);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_TRUE(panel.items().empty());
  EXPECT_EQ(tray_icon_count(), 0u);
}

TEST_F(ShellNotifyIcon, WithoutAPanelAddFailsAndTheItemRegistersWhenAPanelStartsOrRestarts) {
  notifyicondata data = block(host, 0, NIF_ICON | NIF_TIP, blue, "waiting");
  SetLastError(0);
  EXPECT_EQ(Shell_NotifyIconA(NIM_ADD, &data), FALSE_);
  EXPECT_EQ(GetLastError(), ERROR_NOT_FOUND);
  EXPECT_EQ(tray_icon_count(), 1u);
  {
    test_watcher panel;
    ASSERT_TRUE(panel.running());
    ASSERT_TRUE(pump_until([&] { return panel.items().size() == 1; }));
    GVariant* all = panel.properties(panel.items()[0]);
    EXPECT_EQ(tooltip_title(all), "waiting");
    if (all) g_variant_unref(all);
  }
  test_watcher restarted;
  ASSERT_TRUE(restarted.running());
  EXPECT_TRUE(pump_until([&] { return restarted.items().size() == 1; }));
  EXPECT_EQ(restarted.registrations(), 1);
}

TEST_F(ShellNotifyIcon, ClicksReachTheWindowAsTheCallbackMessage) {
  test_watcher panel;
  ASSERT_TRUE(panel.running());
  std::string item = add_shown(panel, block(host, 1, NIF_MESSAGE | NIF_ICON | NIF_TIP, blue, "click me"));
  ASSERT_FALSE(item.empty());
  auto expect_clicks = [&](const char* method, int calls, std::vector<received> expected) {
    messages.clear();
    for (int i = 0; i < calls; ++i) panel.send(item, method, g_variant_new("(ii)", 10, 10));
    EXPECT_TRUE(pump_until([&] { return messages.size() >= expected.size(); })) << method;
    EXPECT_EQ(messages, expected) << method;
  };
  // The desktop's double-click time counts; made long here so that a loaded machine cannot split the pair.
  GtkSettings* settings = gdk_display_get_default() ? gtk_settings_get_default() : nullptr;
  if (settings) g_object_set(settings, "gtk-double-click-time", 10000, nullptr);
  expect_clicks("Activate", 2,
                {{callback, 1, WM_LBUTTONDOWN},
                 {callback, 1, WM_LBUTTONUP},
                 {callback, 1, WM_LBUTTONDBLCLK},
                 {callback, 1, WM_LBUTTONUP}});
  expect_clicks("ContextMenu", 1, {{callback, 1, WM_RBUTTONDOWN}, {callback, 1, WM_RBUTTONUP}});
  expect_clicks("SecondaryActivate", 1, {{callback, 1, WM_MBUTTONDOWN}, {callback, 1, WM_MBUTTONUP}});
  // After a double click the next activation is a new single click.
  expect_clicks("Activate", 1, {{callback, 1, WM_LBUTTONDOWN}, {callback, 1, WM_LBUTTONUP}});
  if (!settings) return;
  // Activations further apart than the double-click time are single clicks: the time runs out in between.
  g_object_set(settings, "gtk-double-click-time", 50, nullptr);
  for (int i = 0; i < 2; ++i) {
    const auto expired = std::chrono::steady_clock::now() + std::chrono::milliseconds(60);
    pump_until([&] { return std::chrono::steady_clock::now() >= expired; });
    expect_clicks("Activate", 1, {{callback, 1, WM_LBUTTONDOWN}, {callback, 1, WM_LBUTTONUP}});
  }
  g_object_set(settings, "gtk-double-click-time", 400, nullptr);
}

TEST_F(ShellNotifyIcon, AnIconWhoseWindowIsGoneLeavesAtItsNextClick) {
  test_watcher panel;
  ASSERT_TRUE(panel.running());
  auto doomed = std::make_unique<window>("short-lived", 10, 10);
  notifyicondata data = block(*doomed, 0, NIF_MESSAGE | NIF_ICON | NIF_TIP, blue, "orphan");
  ASSERT_EQ(Shell_NotifyIconA(NIM_ADD, &data), TRUE_);
  std::string item = panel.items().at(0);
  doomed.reset();
  panel.send(item, "Activate", g_variant_new("(ii)", 1, 1));
  EXPECT_TRUE(pump_until([&] { return panel.items().empty(); }));
  EXPECT_EQ(tray_icon_count(), 0u);
}

TEST(TrayTipText, ReadsAtMost63BytesOfWholeValidUtf8) {
  struct tip_case {
    std::string field;  ///< the 64 bytes (padded with NULs)
    std::string shown;
  };
  const std::string a63(63, 'a');
  const std::string e_acute = "\xC3\xA9";
  const std::string euro = "\xE2\x82\xAC";
  const tip_case cases[] = {
      {"", ""},
      {"Add-on manager", "Add-on manager"},
      {a63, a63},                                                              // 63 bytes and the NUL: whole
      {std::string(64, 'b'), std::string(63, 'b')},                            // no NUL in the field: 63 shown
      {std::string(62, 'c') + e_acute, std::string(62, 'c')},                  // the cut would split a character
      {std::string(61, 'c') + euro, std::string(61, 'c')},                     // ... a three-byte one
      {std::string(61, 'c') + e_acute + "d", std::string(61, 'c') + e_acute},  // whole characters stay
      {"ok\xFFok", "ok\xEF\xBF\xBDok"},                                        // not UTF-8: U+FFFD
      {std::string("stop\0hidden", 11), "stop"},
  };
  for (const auto& c : cases) {
    // The field sits between guard bytes that must never be read.
    struct {
      char sztip[64];
      char guard[8];
    } block{};
    std::memset(block.guard, 'X', sizeof block.guard);
    std::memcpy(block.sztip, c.field.data(), std::min(c.field.size(), sizeof block.sztip));
    EXPECT_EQ(tray_tip_text(block.sztip), c.shown) << c.field;
  }
}

}  // namespace
}  // namespace api32::win32

namespace api32::win32 {
namespace {

TEST(ForegroundWindow, KnownWindowsByTheirLow16BitsAndNothingElse) {
  window w("front", 100, 100);
  for (auto* call : {&SetForegroundWindow, &OpenIcon}) {
    SetLastError(0);
    EXPECT_EQ(call(0), FALSE_);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  }
  if (!w.widget()) GTEST_SKIP() << "no display";
  const std::uint32_t sign_extended = w.hwnd() | 0xFFFF0000u;
  for (auto* call : {&SetForegroundWindow, &OpenIcon}) {
    EXPECT_EQ(call(sign_extended), TRUE_);
    EXPECT_FALSE(gtk_widget_get_visible(w.widget()));  // a closed window stays hidden
  }
  w.open();
  for (auto* call : {&SetForegroundWindow, &OpenIcon}) {
    EXPECT_EQ(call(w.hwnd()), TRUE_);
    EXPECT_TRUE(gtk_widget_get_visible(w.widget()));
  }
}

}  // namespace
}  // namespace api32::win32

namespace api32::win32 {
namespace {

TEST(ShellNotifyIconWithoutABus, AddIsRefusedAndKeepsNoItem) {
  temp_dir runtime;
  window host("no bus", 10, 10);
  const std::string saved_address = g_getenv("DBUS_SESSION_BUS_ADDRESS") ? g_getenv("DBUS_SESSION_BUS_ADDRESS") : "";
  g_unsetenv("DBUS_SESSION_BUS_ADDRESS");
  const std::string saved_runtime = g_getenv("XDG_RUNTIME_DIR") ? g_getenv("XDG_RUNTIME_DIR") : "";
  g_setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), TRUE);  // read once per process: may not take
  notifyicondata data;
  data.cbsize = sizeof data;
  data.hwnd = static_cast<std::int32_t>(host.hwnd());
  data.uflags = static_cast<std::int32_t>(NIF_TIP);
  SetLastError(0);
  const BOOL added = Shell_NotifyIconA(NIM_ADD, &data);
  const DWORD error = GetLastError();
  g_setenv("DBUS_SESSION_BUS_ADDRESS", saved_address.c_str(), TRUE);
  if (saved_runtime.empty())
    g_unsetenv("XDG_RUNTIME_DIR");
  else
    g_setenv("XDG_RUNTIME_DIR", saved_runtime.c_str(), TRUE);
  EXPECT_EQ(added, FALSE_);
  EXPECT_EQ(error, ERROR_NOT_FOUND);
  EXPECT_EQ(tray_icon_count(), 0u);
}

}  // namespace
}  // namespace api32::win32
