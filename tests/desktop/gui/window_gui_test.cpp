// Host windows on a display: size from window units, open/close, the close button, messages, handles; and
// w_settings' buttons.
#include <gtest/gtest.h>

#include "api32/desktop/w_settings.hpp"
#include "api32/desktop_win32/window.hpp"
#include "gui_driver.hpp"

using api32::testing::iterate_until;

namespace {

struct host_window : api32::window {
  using api32::window::window;
  int opened = 0;
  void open_event() override { ++opened; }
};

}  // namespace

TEST(HostWindow, OpensClosesAndReopens) {
  if (!api32::testing::gui_available()) GTEST_SKIP() << "no display";
  host_window w("[APP_NAME]", 3575, 2788);
  ASSERT_NE(w.widget(), nullptr);
  gint width = 0, height = 0;
  gtk_window_get_default_size(GTK_WINDOW(w.widget()), &width, &height);
  EXPECT_EQ(width, 782);
  EXPECT_EQ(height, 697);
  EXPECT_FALSE(gtk_widget_get_visible(w.widget()));

  w.open("https://example.invalid/addons");
  EXPECT_TRUE(w.is_open());
  EXPECT_EQ(w.opened, 1);
  EXPECT_EQ(w.opening_text(), "https://example.invalid/addons");
  EXPECT_TRUE(gtk_widget_get_visible(w.widget()));
  w.open("again");  // already open: brought to the front, no second open event
  EXPECT_EQ(w.opened, 1);
  EXPECT_EQ(w.opening_text(), "https://example.invalid/addons");

  w.set_title("Add-ons - Game");
  EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(w.widget())), "Add-ons - Game");
  EXPECT_EQ(w.title(), "Add-ons - Game");

  // the close button hides the window and keeps it for the next open
  gtk_window_close(GTK_WINDOW(w.widget()));
  EXPECT_TRUE(iterate_until([&] { return !w.is_open(); }));
  ASSERT_NE(w.widget(), nullptr);
  EXPECT_FALSE(gtk_widget_get_visible(w.widget()));
  w.open();
  EXPECT_EQ(w.opened, 2);
  EXPECT_TRUE(gtk_widget_get_visible(w.widget()));
  w.close();
  EXPECT_FALSE(gtk_widget_get_visible(w.widget()));
}

TEST(HostWindow, MessagesReachTheHookSentOrPosted) {
  if (!api32::testing::gui_available()) GTEST_SKIP() << "no display";
  std::vector<std::uint32_t> got;
  auto hook = [&](std::uint32_t m, std::uintptr_t wp, std::intptr_t lp) {
    got.push_back(m);
    EXPECT_EQ(wp, 7u);
    EXPECT_EQ(lp, 0x203);
  };
  std::uint32_t gone = 0;
  {
    api32::window w("w", 100, 100);
    w.set_message_hook(hook);
    w.send_message(0x401, 7, 0x203);
    EXPECT_EQ(api32::window::from_handle(w.hwnd() & 0xFFFF, true), &w);
    EXPECT_TRUE(api32::window::post_message(w.hwnd(), 0x402, 7, 0x203));
    EXPECT_EQ(got, std::vector<std::uint32_t>{0x401});  // posted: not yet
    EXPECT_TRUE(iterate_until([&] { return got.size() == 2; }));
    EXPECT_EQ(got.back(), 0x402u);
    EXPECT_TRUE(api32::window::post_message(w.hwnd(), 0x403, 7, 0x203));
    gone = w.hwnd();
  }
  // the window went away before its posted message was delivered: nobody gets it
  for (int i = 0; i < 50; ++i) g_main_context_iteration(nullptr, FALSE);
  EXPECT_EQ(got.size(), 2u);
  EXPECT_EQ(api32::window::from_handle(gone), nullptr);
}

TEST(WSettings, ButtonsPlacedByWindowUnits) {
  if (!api32::testing::gui_available()) GTEST_SKIP() << "no display";
  api32::w_settings w("Settings");
  ASSERT_NE(w.ok(), nullptr);
  ASSERT_NE(w.back(), nullptr);
  EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(w.ok())), "OK");
  EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(w.back())), "BACK");

  struct row {
    GtkWidget* button;
    int x, y, width, height;
  };
  // ok at 2007, 1032 and back at 46, 1028, both 347 x 84 units
  const row rows[] = {{w.ok(), 439, 258, 76, 21}, {w.back(), 10, 257, 76, 21}};
  for (const row& r : rows) {
    int x = -1, y = -1, width = -1, height = -1;
    gtk_container_child_get(GTK_CONTAINER(w.container()), r.button, "x", &x, "y", &y, nullptr);
    gtk_widget_get_size_request(r.button, &width, &height);
    EXPECT_EQ(x, r.x);
    EXPECT_EQ(y, r.y);
    EXPECT_EQ(width, r.width);
    EXPECT_EQ(height, r.height);
    PangoFontDescription* font = nullptr;
    gtk_style_context_get(gtk_widget_get_style_context(r.button), GTK_STATE_FLAG_NORMAL, "font", &font, nullptr);
    ASSERT_NE(font, nullptr);
    EXPECT_STREQ(pango_font_description_get_family(font), "Arial");
    EXPECT_EQ(pango_font_description_get_weight(font), PANGO_WEIGHT_BOLD);
    EXPECT_EQ(pango_font_description_get_size(font), 12 * PANGO_SCALE);
    pango_font_description_free(font);
  }

  w.open();
  EXPECT_TRUE(w.is_open());
  gtk_button_clicked(GTK_BUTTON(w.ok()));
  EXPECT_FALSE(w.is_open());
  w.open();
  gtk_button_clicked(GTK_BUTTON(w.back()));
  EXPECT_FALSE(w.is_open());
}
