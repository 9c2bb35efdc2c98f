// Without a display: nothing ends the process. Windows keep their handles and messages, message boxes stay on
// stderr, and the open-file dialog reports a dialog failure. Also the window units, which need no display.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "api32/desktop/uo_nv_getopenfilename.hpp"
#include "api32/desktop_win32/desktop_dialog.hpp"
#include "api32/desktop_win32/gtk_presenter.hpp"
#include "api32/desktop_win32/window.hpp"
#include "support/test_support.hpp"

TEST(WindowUnits, SevenThirtySecondsAcrossAQuarterDown) {
  struct row {
    int units, x, y;
  };
  const row rows[] = {{3575, 782, 894}, {2788, 610, 697}, {347, 76, 87}, {84, 18, 21},
                      {2007, 439, 502}, {1032, 226, 258}, {0, 0, 0},     {32, 7, 8}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.units);
    EXPECT_EQ(api32::units_to_pixels_x(r.units), r.x);
    EXPECT_EQ(api32::units_to_pixels_y(r.units), r.y);
  }
}

// Runs only in a child of this test program whose environment has no display (NoDisplay.InAChildProcess),
// so that nothing has touched GTK in that process before.
TEST(NoDisplay, DISABLED_NothingEndsTheProcess) {
  if (std::getenv("API32_TEST_NO_DISPLAY") == nullptr) GTEST_SKIP() << "runs inside NoDisplay.InAChildProcess";

  auto before = api32::current_message_presenter();
  EXPECT_FALSE(api32::desktop::install_gtk_presenter());
  EXPECT_EQ(api32::current_message_presenter(), before);

  api32::window w("Add-ons", 3575, 2788);
  EXPECT_EQ(w.widget(), nullptr);
  ASSERT_NE(w.hwnd(), 0u);
  EXPECT_EQ(api32::window::from_handle(w.hwnd()), &w);
  EXPECT_EQ(api32::window::from_handle(w.hwnd() & 0xFFFF, true), &w);
  std::uint32_t got = 0;
  w.set_message_hook([&](std::uint32_t m, std::uintptr_t, std::intptr_t) { got = m; });
  w.send_message(0x401, 0, 0x201);
  EXPECT_EQ(got, 0x401u);
  w.open("https://example.invalid/");
  EXPECT_TRUE(w.is_open());
  EXPECT_EQ(w.opening_text(), "https://example.invalid/");
  w.set_title("T");
  EXPECT_EQ(w.title(), "T");
  w.close();
  EXPECT_FALSE(w.is_open());

  // The default chooser is GTK's: without a display the dialog fails and says so in a box.
  api32::win32::set_file_chooser(nullptr);
  api32::testing::recorded_boxes boxes;
  api32::uo_nv_getopenfilename o;
  std::vector<std::string> paths, names;
  EXPECT_EQ(o.of_getopenfilename(0, "t", paths, names, "Zip,*.zip"), -1);
  ASSERT_EQ(boxes.boxes().size(), 1u);
  EXPECT_EQ(boxes.boxes()[0].text, "Error code: 65535");
}

TEST(NoDisplay, InAChildProcess) {
  const std::string command =
      "env -u DISPLAY -u WAYLAND_DISPLAY GDK_BACKEND=x11 API32_TEST_NO_DISPLAY=1 /proc/" + std::to_string(::getpid()) +
      "/exe --gtest_also_run_disabled_tests --gtest_filter=NoDisplay.DISABLED_NothingEndsTheProcess 2>&1; echo exit=$?";
  const std::string output = api32::testing::run_output(command);
  EXPECT_NE(output.find("[       OK ] NoDisplay.DISABLED_NothingEndsTheProcess"), std::string::npos) << output;
  EXPECT_NE(output.find("exit=0"), std::string::npos) << output;
}

TEST(Window, HandleIsGoneWithTheWindow) {
  std::uint32_t hwnd = 0;
  {
    api32::window w("gone", 10, 10);
    hwnd = w.hwnd();
    EXPECT_TRUE(api32::window::post_message(hwnd, 1, 0, 0));
  }
  EXPECT_EQ(api32::window::from_handle(hwnd), nullptr);
  EXPECT_FALSE(api32::window::post_message(hwnd, 1, 0, 0));
}
