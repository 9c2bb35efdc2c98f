// trayicon_test.cpp - uo_nv_trayicon and trayicon_menu: the block, adding, changing and removing the icon,
// the icons it loads and releases, clicks on a window whose handle needs more than 15 bits, and the menu.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstring>

#include "api32/desktop/uo_nv_trayicon.hpp"
#include "api32/desktop_win32/desktop_tray.hpp"
#include "api32/win32/handles.hpp"
#include "icon_files.hpp"
#include "support/test_support.hpp"
#include "tray_bus.hpp"

namespace api32 {
namespace {

using testing::pump_until;
using testing::temp_dir;
using testing::test_watcher;
using win32::handle_kind;
using win32::handles;

// Every call the class makes to the shell stand-in, passed on to the real entry points.
struct shell_log {
  std::vector<std::pair<win32::DWORD, win32::BOOL>> notify;  // message, result
  std::vector<win32::HICON> loaded;
  std::vector<win32::HICON> destroyed;
};
shell_log* active_log = nullptr;

class recorded_shell_calls {
public:
  recorded_shell_calls() : saved_(win32::shell_calls()) {
    active_log = &log;
    auto& calls = win32::shell_calls();
    calls.shell_notify_icon = [](win32::DWORD message, const notifyicondata* data) {
      win32::BOOL result = win32::Shell_NotifyIconA(message, data);
      active_log->notify.emplace_back(message, result);
      return result;
    };
    calls.load_image = [](std::uint32_t hinst, std::string_view name, std::uint32_t type, std::int32_t cx,
                          std::int32_t cy, std::uint32_t flags) {
      win32::HICON icon = win32::LoadImageA(hinst, name, type, cx, cy, flags);
      active_log->loaded.push_back(icon);
      return icon;
    };
    calls.destroy_icon = [](win32::HICON icon) {
      active_log->destroyed.push_back(icon);
      return win32::DestroyIcon(icon);
    };
  }
  ~recorded_shell_calls() {
    win32::shell_calls() = saved_;
    active_log = nullptr;
  }
  shell_log log;

private:
  win32::shell_entry_points saved_;
};

std::string item_title(test_watcher& panel, const std::string& item) {
  GVariant* all = panel.properties(item);
  GVariant* title = testing::lookup(all, "Title");
  std::string text = title ? g_variant_get_string(title, nullptr) : "<none>";
  if (title) g_variant_unref(title);
  if (all) g_variant_unref(all);
  return text;
}

// Top-left pixel of the item's icon, 0 when it shows none.
std::uint32_t item_pixel(test_watcher& panel, const std::string& item) {
  GVariant* all = panel.properties(item);
  GVariant* pixmaps = testing::lookup(all, "IconPixmap");
  std::uint32_t pixel = 0;
  if (pixmaps && g_variant_n_children(pixmaps) > 0) {
    GVariant* entry = g_variant_get_child_value(pixmaps, 0);
    pixel = testing::pixmap_pixel(entry, 0, 0);
    g_variant_unref(entry);
  }
  if (pixmaps) g_variant_unref(pixmaps);
  if (all) g_variant_unref(all);
  return pixel;
}

class TrayIcon : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(panel.running());
    testing::write_ico(dir / "blue.ico", {{16, 0xFF0000FF, 0xFF0000FF}});
    testing::write_ico(dir / "red.ico", {{16, 0xFFFF0000, 0xFFFF0000}});
    testing::write_file(dir / "readme.txt", "no icon here");
    icons_before = handles().count(handle_kind::icon);
  }
  void TearDown() override { EXPECT_EQ(win32::tray_icon_count(), 0u); }

  std::string shown_item() {
    pump_until([&] { return panel.items().size() == 1; });
    auto items = panel.items();
    return items.size() == 1 ? items[0] : std::string();
  }

  temp_dir dir;
  test_watcher panel;
  window host{"tray host", 100, 100};
  std::size_t icons_before = 0;
};

TEST(TrayIconBlock, SetNotifyIconDataFillsThe88ByteBlock) {
  uo_nv_trayicon tray;
  struct tip_case {
    std::size_t length;
    std::size_t copied;  ///< bytes of the tip in the field; a NUL follows when there is room
  };
  for (const tip_case& c : {tip_case{0, 0}, tip_case{5, 5}, tip_case{63, 63}, tip_case{64, 64}, tip_case{100, 64}}) {
    std::string tip;
    for (std::size_t i = 0; i < c.length; ++i) tip += static_cast<char>('A' + i % 26);
    notifyicondata data = tray.setnotifyicondata(-2, -1, 7, 512, 1234, tip);
    EXPECT_EQ(data.cbsize, 88);
    EXPECT_EQ(static_cast<std::uint32_t>(data.hwnd), 0xFFFFFFFEu);  // widened with its sign
    EXPECT_EQ(data.uid, -1);
    EXPECT_EQ(data.uflags, 7);
    EXPECT_EQ(data.ucallbackmessage, 512);
    EXPECT_EQ(data.hicon, 1234);
    EXPECT_EQ(std::string(data.sztip, ::strnlen(data.sztip, 64)), tip.substr(0, c.copied)) << c.length;
  }
}

TEST_F(TrayIcon, ANonIconFileFailsWithOneBoxThenAGoodFileIsShown) {
  testing::recorded_boxes boxes;
  uo_nv_trayicon tray;
  EXPECT_FALSE(tray.addtotray(host, dir.windows("readme.txt"), "Manager"));
  ASSERT_EQ(boxes.boxes().size(), 1u);
  EXPECT_EQ(boxes.boxes()[0], (message{"Error", "Can't load icon!", msg_icon::information}));
  EXPECT_EQ(tray.hicon, 0);
  EXPECT_EQ(tray.iw_window, &host);
  EXPECT_EQ(win32::tray_icon_count(), 0u);

  EXPECT_TRUE(tray.addtotray(host, dir.windows("blue.ico"), "Manager"));
  EXPECT_NE(tray.hicon, 0);
  EXPECT_EQ(boxes.boxes().size(), 1u);
  std::string item = shown_item();
  ASSERT_FALSE(item.empty());
  EXPECT_EQ(item_title(panel, item), "Manager");
  EXPECT_EQ(item_pixel(panel, item), 0xFF0000FFu);
  tray.removefromtray(host);
}

TEST_F(TrayIcon, TipsOf63CharactersShowWholeAndLongerOnesAreCut) {
  const std::string tip63(63, 't');
  uo_nv_trayicon tray;
  ASSERT_TRUE(tray.addtotray(host, dir / "blue.ico", tip63));
  std::string item = shown_item();
  EXPECT_EQ(item_title(panel, item), tip63);
  tray.of_modifysystrayicon(dir / "blue.ico", std::string(64, 'u'));
  EXPECT_TRUE(pump_until([&] { return panel.signal_count(item, "NewTitle") == 1; }));
  EXPECT_EQ(item_title(panel, item), std::string(63, 'u'));
  tray.of_modifysystrayicon(dir / "blue.ico", std::string(200, 'v'));
  EXPECT_TRUE(pump_until([&] { return panel.signal_count(item, "NewTitle") == 2; }));
  EXPECT_EQ(item_title(panel, item), std::string(63, 'v'));
  tray.removefromtray(host);
}

TEST_F(TrayIcon, RemoveWithoutAddAsksTheShellAndDestroysNoIcon) {
  recorded_shell_calls calls;
  {
    uo_nv_trayicon tray;
    tray.removefromtray(host);
  }
  ASSERT_EQ(calls.log.notify.size(), 1u);
  EXPECT_EQ(calls.log.notify[0], std::make_pair(win32::NIM_DELETE, win32::FALSE_));
  EXPECT_TRUE(calls.log.destroyed.empty());
}

TEST_F(TrayIcon, AddRemoveAddWithAnotherFileShowsTheSecondIcon) {
  uo_nv_trayicon tray;
  ASSERT_TRUE(tray.addtotray(host, dir / "blue.ico", "one"));
  EXPECT_EQ(item_pixel(panel, shown_item()), 0xFF0000FFu);
  tray.removefromtray(host);
  EXPECT_EQ(tray.hicon, 0);
  ASSERT_TRUE(pump_until([&] { return panel.items().empty(); }));
  ASSERT_TRUE(tray.addtotray(host, dir / "red.ico", "two"));
  EXPECT_EQ(item_pixel(panel, shown_item()), 0xFFFF0000u);
  tray.removefromtray(host);
  EXPECT_EQ(handles().count(handle_kind::icon), icons_before);
}

TEST_F(TrayIcon, AddWhileShownKeepsTheHeldIconAndAddsNoSecondItem) {
  recorded_shell_calls calls;
  uo_nv_trayicon tray;
  ASSERT_TRUE(tray.addtotray(host, dir / "blue.ico", "one"));
  const std::int32_t held = tray.hicon;
  EXPECT_TRUE(tray.addtotray(host, dir / "red.ico", "again"));  // the shell's answer is not tested
  EXPECT_EQ(tray.hicon, held);
  EXPECT_EQ(calls.log.loaded.size(), 1u);
  ASSERT_EQ(calls.log.notify.size(), 2u);
  EXPECT_EQ(calls.log.notify[1], std::make_pair(win32::NIM_ADD, win32::FALSE_));
  EXPECT_EQ(panel.items().size(), 1u);
  tray.removefromtray(host);
}

TEST_F(TrayIcon, ModifyStartsFromTheAddedDataAndRemoveReleasesEveryIconOnce) {
  recorded_shell_calls calls;
  uo_nv_trayicon tray;
  ASSERT_TRUE(tray.addtotray(host, dir / "blue.ico", "start"));
  const std::int32_t added = tray.hicon;
  const notifyicondata before = tray.ia_nid;
  std::string item = shown_item();

  tray.of_modifysystrayicon(dir / "red.ico", "first change");
  ASSERT_TRUE(pump_until([&] { return panel.signal_count(item, "NewIcon") == 1; }));
  EXPECT_EQ(item_pixel(panel, item), 0xFFFF0000u);
  EXPECT_EQ(item_title(panel, item), "first change");
  EXPECT_EQ(tray.hicon, added);
  EXPECT_EQ(std::memcmp(&tray.ia_nid, &before, sizeof before), 0);

  // The next change replaces the icon the last one loaded, which is released then.
  tray.of_modifysystrayicon(dir / "blue.ico", "second change");
  ASSERT_EQ(calls.log.loaded.size(), 3u);
  EXPECT_EQ(calls.log.destroyed, std::vector<win32::HICON>{calls.log.loaded[1]});
  // A file that is no icon is not reported: the icon shows empty.
  testing::recorded_boxes boxes;
  tray.of_modifysystrayicon(dir / "readme.txt", "third change");
  EXPECT_TRUE(boxes.boxes().empty());
  ASSERT_TRUE(pump_until([&] { return panel.signal_count(item, "NewIcon") == 3; }));
  EXPECT_EQ(item_pixel(panel, item), 0u);
  EXPECT_EQ(calls.log.destroyed, (std::vector<win32::HICON>{calls.log.loaded[1], calls.log.loaded[2]}));

  tray.removefromtray(host);
  EXPECT_TRUE(pump_until([&] { return panel.items().empty(); }));
  EXPECT_EQ(calls.log.notify.back(), std::make_pair(win32::NIM_DELETE, win32::TRUE_));
  EXPECT_EQ(calls.log.destroyed,
            (std::vector<win32::HICON>{calls.log.loaded[1], calls.log.loaded[2], static_cast<win32::HICON>(added)}));
  EXPECT_EQ(handles().count(handle_kind::icon), icons_before);
}

TEST_F(TrayIcon, DestroyingTheObjectReleasesItsIconsAndLeavesTheIconToTheHost) {
  {
    uo_nv_trayicon tray;
    ASSERT_TRUE(tray.addtotray(host, dir / "blue.ico", "kept"));
    tray.of_modifysystrayicon(dir / "red.ico", "changed");
    EXPECT_EQ(handles().count(handle_kind::icon), icons_before + 2);
  }
  EXPECT_EQ(handles().count(handle_kind::icon), icons_before);
  // Still shown from the shell's own copy: taking it away is the host's call to removefromtray.
  std::string item = shown_item();
  ASSERT_FALSE(item.empty());
  EXPECT_EQ(item_pixel(panel, item), 0xFFFF0000u);
  uo_nv_trayicon().removefromtray(host);
}

// A window whose handle has its 16th bit set: the class passes it through a 16-bit argument, so the block
// carries it sign-extended, and the shell still finds the window by its low 16 bits.
std::unique_ptr<window> window_with_high_handle() {
  std::vector<std::uint32_t> fillers;
  while (fillers.empty() || (fillers.back() & 0xFFFF) < 0x8000)
    fillers.push_back(handles().add<int>(handle_kind::other, std::make_shared<int>(0)));
  auto w = std::make_unique<window>("high handle", 100, 100);
  for (std::uint32_t h : fillers) handles().take<int>(h, handle_kind::other);
  return w;
}

TEST_F(TrayIcon, ClicksReachAWindowWhoseHandleIsAbove32767AsMouseMoveMessages) {
  auto high = window_with_high_handle();
  ASSERT_GT(high->hwnd() & 0xFFFF, 32767u);
  std::vector<std::pair<std::uint32_t, std::intptr_t>> received;
  high->set_message_hook([&](std::uint32_t m, std::uintptr_t, std::intptr_t l) { received.emplace_back(m, l); });
  uo_nv_trayicon tray;
  ASSERT_TRUE(tray.addtotray(*high, dir / "blue.ico", "high"));
  EXPECT_LT(tray.ia_nid.hwnd, 0);
  std::string item = shown_item();
  ASSERT_FALSE(item.empty());
  panel.send(item, "ContextMenu", g_variant_new("(ii)", 5, 5));
  EXPECT_TRUE(pump_until([&] { return received.size() == 2; }));
  const std::vector<std::pair<std::uint32_t, std::intptr_t>> expected = {{512, win32::WM_RBUTTONDOWN},
                                                                         {512, win32::WM_RBUTTONUP}};
  EXPECT_EQ(received, expected);
  tray.removefromtray(*high);
  EXPECT_TRUE(pump_until([&] { return panel.items().empty(); }));
}

TEST(TrayIconMenu, HasOneItemTestThatTheHostCanPopUp) {
  uo_nv_trayicon tray;
  ASSERT_TRUE(tray.imenu);
  EXPECT_EQ(tray.imenu->m_test.text, "Test");
  if (!tray.imenu->widget()) GTEST_SKIP() << "no display";
  EXPECT_STREQ(gtk_menu_item_get_label(GTK_MENU_ITEM(tray.imenu->m_test.widget)), "Test");
  GList* children = gtk_container_get_children(GTK_CONTAINER(tray.imenu->widget()));
  EXPECT_EQ(g_list_length(children), 1u);
  g_list_free(children);
  EXPECT_EQ(tray.imenu->popmenu(), 1);
  EXPECT_TRUE(pump_until([&] { return tray.imenu->is_shown(); }));
  tray.imenu->popdown();
  EXPECT_TRUE(pump_until([&] { return !tray.imenu->is_shown(); }));
}

}  // namespace
}  // namespace api32
