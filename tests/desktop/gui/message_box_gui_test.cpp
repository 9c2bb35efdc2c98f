// Message boxes as GTK dialogs: title, text, the icon as a message type, modal to the host's window.
#include <gtest/gtest.h>

#include "api32/desktop_win32/gtk_presenter.hpp"
#include "api32/desktop_win32/window.hpp"
#include "gui_driver.hpp"

using api32::testing::message_box_driver;

TEST(GtkPresenter, ShowsAndClosesABox) {
  if (!api32::testing::gui_available()) GTEST_SKIP() << "no display";
  ASSERT_TRUE(api32::desktop::install_gtk_presenter());
  struct row {
    api32::msg_icon icon;
    GtkMessageType type;
  };
  const row rows[] = {{api32::msg_icon::stop, GTK_MESSAGE_ERROR},
                      {api32::msg_icon::information, GTK_MESSAGE_INFO},
                      {api32::msg_icon::exclamation, GTK_MESSAGE_WARNING},
                      {api32::msg_icon::question, GTK_MESSAGE_QUESTION}};
  for (const row& r : rows) {
    SCOPED_TRACE(api32::to_string(r.icon));
    message_box_driver driver;
    // a "%" in the text is shown as written, and the text's bytes reach GTK as UTF-8
    api32::messagebox("Ziplib Error in of_unzopen", "Cannot open 100% \xC3\x9C.zip", r.icon);
    EXPECT_TRUE(driver.answered());
    EXPECT_EQ(driver.title(), "Ziplib Error in of_unzopen");
    EXPECT_EQ(driver.text(), "Cannot open 100% Ü.zip");
    EXPECT_EQ(driver.type(), r.type);
    EXPECT_TRUE(driver.modal());
  }
  api32::set_message_presenter(nullptr);
}

TEST(GtkPresenter, ModalToTheOwnerWindow) {
  if (!api32::testing::gui_available()) GTEST_SKIP() << "no display";
  api32::window owner("Owner", 2000, 1200);
  owner.open();
  api32::scoped_message_presenter presenter(std::make_shared<api32::desktop::gtk_presenter>(owner.hwnd()));
  message_box_driver driver;
  api32::messagebox("Common Dialog Error", "Error code: 12291");
  EXPECT_TRUE(driver.answered());
  EXPECT_EQ(driver.transient_for(), GTK_WINDOW(owner.widget()));
}
