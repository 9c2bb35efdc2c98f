// trayicon_menu_panel_test.cpp - the tray icon's menu as panels read it over com.canonical.dbusmenu: the
// items with their texts and states, a choice reaching the item's clicked event, the right button reaching
// the host window when a panel opens the menu, no second popup, and registrations a watcher refuses.
#include <gtest/gtest.h>

#include <array>

#include "api32/desktop/uo_nv_trayicon.hpp"
#include "api32/win32/desktop_tray.hpp"
#include "icon_files.hpp"
#include "support/test_support.hpp"
#include "tray_bus.hpp"

namespace api32 {
namespace {

using testing::pump_until;
using testing::test_watcher;

constexpr const char* menu_interface = "com.canonical.dbusmenu";

struct shown_entry {
  std::int32_t id;
  std::string label;
  bool enabled;
  bool visible;
  bool operator==(const shown_entry&) const = default;
};

class TrayMenuOnPanels : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(panel.running());
    testing::write_ico(dir / "blue.ico", {{16, 0xFF0000FF, 0xFF0000FF}});
    host.set_message_hook([this](std::uint32_t m, std::uintptr_t, std::intptr_t l) { received.emplace_back(m, l); });
  }
  void TearDown() override { EXPECT_EQ(win32::tray_icon_count(), 0u); }

  std::string shown_item() {
    pump_until([&] { return panel.items().size() == 1; });
    auto items = panel.items();
    return items.size() == 1 ? items[0] : std::string();
  }

  std::string menu_path(const std::string& item) {
    GVariant* all = panel.properties(item);
    GVariant* menu = testing::lookup(all, "Menu");
    std::string path = menu ? g_variant_get_string(menu, nullptr) : "";
    if (menu) g_variant_unref(menu);
    if (all) g_variant_unref(all);
    return path;
  }

  // The menu's entries as GetLayout gives them to a panel.
  std::vector<shown_entry> layout(const std::string& item) {
    std::vector<shown_entry> entries;
    GVariant* reply = panel.call_at(item, "/MenuBar", menu_interface, "GetLayout",
                                    g_variant_new("(ii@as)", 0, -1, g_variant_new_strv(nullptr, 0)));
    if (!reply) return entries;
    GVariant* root = g_variant_get_child_value(reply, 1);
    GVariant* children = g_variant_get_child_value(root, 2);
    for (gsize i = 0; i < g_variant_n_children(children); ++i) {
      GVariant* boxed = g_variant_get_child_value(children, i);
      GVariant* child = g_variant_get_variant(boxed);
      shown_entry e{0, "", true, true};
      GVariant* props = nullptr;
      g_variant_get(child, "(i@a{sv}@av)", &e.id, &props, nullptr);
      const gchar* label = nullptr;
      if (g_variant_lookup(props, "label", "&s", &label)) e.label = label;
      gboolean flag = TRUE;
      if (g_variant_lookup(props, "enabled", "b", &flag)) e.enabled = flag;
      if (g_variant_lookup(props, "visible", "b", &flag)) e.visible = flag;
      entries.push_back(e);
      g_variant_unref(props);
      g_variant_unref(child);
      g_variant_unref(boxed);
    }
    g_variant_unref(children);
    g_variant_unref(root);
    g_variant_unref(reply);
    return entries;
  }

  bool menu_call(const std::string& item, const char* method, GVariant* parameters) {
    GVariant* reply = panel.call_at(item, "/MenuBar", menu_interface, method, parameters);
    if (reply) g_variant_unref(reply);
    return reply != nullptr;
  }

  bool event(const std::string& item, std::int32_t id, const char* name) {
    return menu_call(item, "Event", g_variant_new("(isvu)", id, name, g_variant_new_int32(0), 0u));
  }

  testing::temp_dir dir;
  test_watcher panel;
  window host{"tray host", 100, 100};
  std::vector<std::pair<std::uint32_t, std::intptr_t>> received;
};

const std::vector<std::pair<std::uint32_t, std::intptr_t>> right_click = {{512, win32::WM_RBUTTONDOWN},
                                                                          {512, win32::WM_RBUTTONUP}};

TEST_F(TrayMenuOnPanels, PanelShowsTheHostsItemsAndAChoiceReachesTheClickedEvent) {
  uo_nv_trayicon tray;
  int clicks = 0;
  tray.imenu->m_test.clicked = [&] { ++clicks; };
  ASSERT_TRUE(tray.addtotray(host, dir / "blue.ico", "with menu"));
  const std::string item = shown_item();
  ASSERT_FALSE(item.empty());
  EXPECT_EQ(menu_path(item), "/MenuBar");
  EXPECT_EQ(layout(item), (std::vector<shown_entry>{{1, "Test", true, true}}));

  // A right click on a panel that shows the menu itself: AboutToShow and "opened" of the root, then the
  // choice. The host hears the right button once, and its popup in answer is the panel's menu.
  EXPECT_TRUE(menu_call(item, "AboutToShow", g_variant_new("(i)", 0)));
  EXPECT_TRUE(event(item, 0, "opened"));
  EXPECT_TRUE(pump_until([&] { return received.size() >= 2; }));
  EXPECT_EQ(received, right_click);
  EXPECT_EQ(tray.imenu->popmenu(), 1);
  EXPECT_FALSE(tray.imenu->is_shown());
  EXPECT_TRUE(event(item, 1, "clicked"));
  EXPECT_TRUE(pump_until([&] { return clicks == 1; }));

  // Unknown entries are refused; a disabled entry is shown disabled and its choice does nothing.
  EXPECT_FALSE(event(item, 7, "clicked"));
  tray.imenu->m_test.text = "Re_load";
  tray.imenu->m_test.enabled = false;
  tray.imenu->refresh();
  EXPECT_EQ(layout(item), (std::vector<shown_entry>{{1, "Re__load", false, true}}));
  EXPECT_TRUE(event(item, 1, "clicked"));
  pump_until([] { return false; }, std::chrono::milliseconds(300));
  EXPECT_EQ(clicks, 1);

  // The next opening is another right click.
  EXPECT_TRUE(event(item, 0, "closed"));
  EXPECT_TRUE(event(item, 0, "opened"));
  EXPECT_TRUE(pump_until([&] { return received.size() >= 4; }));
  EXPECT_EQ(received.size(), 4u);
  // A panel that sends no "opened" or "closed" (only AboutToShowGroup): a right click soon after another is
  // still a right click of its own.
  pump_until([] { return false; }, std::chrono::milliseconds(400));
  GVariant* root_only = g_variant_new_fixed_array(G_VARIANT_TYPE_INT32, std::array<std::int32_t, 1>{0}.data(), 1, 4);
  EXPECT_TRUE(menu_call(item, "AboutToShowGroup", g_variant_new_tuple(&root_only, 1)));
  EXPECT_TRUE(pump_until([&] { return received.size() >= 6; }));
  EXPECT_EQ(received.size(), 6u);

  tray.removefromtray(host);
  EXPECT_TRUE(pump_until([&] { return panel.items().empty(); }));
}

TEST_F(TrayMenuOnPanels, AnIconWithoutAMenuNamesNoneAndGetsContextMenu) {
  win32::icon_image pixels;
  notifyicondata data;
  data.hwnd = static_cast<std::int32_t>(host.hwnd());
  data.uflags = static_cast<std::int32_t>(win32::NIF_MESSAGE | win32::NIF_TIP);
  data.ucallbackmessage = 512;
  ASSERT_EQ(win32::Shell_NotifyIconA(win32::NIM_ADD, &data), win32::TRUE_);
  const std::string item = shown_item();
  ASSERT_FALSE(item.empty());
  EXPECT_EQ(menu_path(item), "");
  panel.send(item, "ContextMenu", g_variant_new("(ii)", 1, 1));
  EXPECT_TRUE(pump_until([&] { return received.size() >= 2; }));
  EXPECT_EQ(received, right_click);
  EXPECT_EQ(win32::Shell_NotifyIconA(win32::NIM_DELETE, &data), win32::TRUE_);
}

TEST_F(TrayMenuOnPanels, ARefusedRegistrationIsTriedAgainUntilTheWatcherTakesIt) {
  panel.refuse_registrations(3);
  uo_nv_trayicon tray;
  ASSERT_TRUE(tray.addtotray(host, dir / "blue.ico", "refused first"));
  EXPECT_FALSE(shown_item().empty());
  EXPECT_GE(panel.registrations(), 4);
  tray.removefromtray(host);
  EXPECT_TRUE(pump_until([&] { return panel.items().empty(); }));
}

}  // namespace
}  // namespace api32
