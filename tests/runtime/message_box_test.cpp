#include <gtest/gtest.h>

#include "api32/runtime/message_box.hpp"
#include "support/test_support.hpp"

TEST(MessageBox, RecordingPresenterSeesEveryBoxAndIsRemovedAfterwards) {
  auto before = api32::current_message_presenter();
  {
    api32::testing::recorded_boxes boxes;
    api32::messagebox("Ziplib Error in of_unzopen", "The zip file is invalid or can't be found!", api32::msg_icon::stop);
    api32::messagebox("Error", "Can't load icon!");
    auto seen = boxes.boxes();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], (api32::message{"Ziplib Error in of_unzopen", "The zip file is invalid or can't be found!",
                                       api32::msg_icon::stop}));
    EXPECT_EQ(seen[1].icon, api32::msg_icon::information);
  }
  EXPECT_EQ(api32::current_message_presenter(), before);
}

TEST(MessageBox, StderrPresenterWritesOneLine) {
  testing::internal::CaptureStderr();
  api32::stderr_presenter().show({"Wait Timeout", "258", api32::msg_icon::information});
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Wait Timeout: 258\n");
}
