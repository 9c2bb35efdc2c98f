// tray_command_test.cpp - the reference host's tray command: it shows the icon, reports clicks as they come
// and ends on SIGINT, taking the icon away.
#include <gtest/gtest.h>
#include <signal.h>

#include "api32/desktop_win32/desktop_tray.hpp"
#include "icon_files.hpp"
#include "support/test_support.hpp"
#include "tools/api32/desktop/tray_command.hpp"
#include "tray_bus.hpp"

namespace api32 {
namespace {

TEST(TrayCommand, ReportsEachClickAndEndsOnInterrupt) {
  testing::temp_dir dir;
  testing::write_ico(dir / "icon.ico", {{16, 0xFF336699, 0xFF336699}});
  testing::test_watcher panel;
  ASSERT_TRUE(panel.running());
  struct clicker {
    testing::test_watcher* panel;
    bool sent = false;
  } state{&panel};
  // Clicks the icon from inside the command's main loop, once the panel has it.
  guint source = g_timeout_add(
      20,
      [](gpointer data) -> gboolean {
        auto* s = static_cast<clicker*>(data);
        auto items = s->panel->items();
        if (items.empty()) return G_SOURCE_CONTINUE;
        s->panel->send(items[0], "ContextMenu", g_variant_new("(ii)", 1, 1));
        s->sent = true;
        return G_SOURCE_REMOVE;
      },
      &state);
  std::vector<std::string> lines;
  int result = desktop::run_tray(dir / "icon.ico", "Tray command", false, 60, [&](const std::string& line) {
    lines.push_back(line);
    if (line == "WM_RBUTTONUP") ::raise(SIGINT);  // as Ctrl-C ends it
  });
  if (!state.sent) g_source_remove(source);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(lines, (std::vector<std::string>{"WM_RBUTTONDOWN", "WM_RBUTTONUP"}));
  EXPECT_EQ(win32::tray_icon_count(), 0u);
  EXPECT_TRUE(testing::pump_until([&] { return panel.items().empty(); }));
}

TEST(TrayCommand, AnIconThatCannotBeLoadedEndsItAtOnce) {
  testing::temp_dir dir;
  testing::recorded_boxes boxes;
  EXPECT_EQ(desktop::run_tray(dir / "missing.ico", "x", false, 60, [](const std::string&) {}), 1);
  EXPECT_EQ(boxes.boxes().size(), 1u);
}

}  // namespace
}  // namespace api32
