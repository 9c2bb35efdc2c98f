// host_functions_test.cpp - tr2 and the download window's reports set from C: the host's callbacks answer
// through the host services the classes call.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "api32/abi/api32.h"
#include "api32/host/host_services.hpp"

namespace {

// Answers "[text]", or nothing for "keep", and counts how often it was asked.
struct translator {
  int calls = 0;
  static int64_t answer(const char* text, char* out, size_t size, void* user) {
    auto* self = static_cast<translator*>(user);
    ++self->calls;
    if (std::string(text) == "keep") return -1;
    const std::string result = "[" + std::string(text) + "]";
    std::memcpy(out, result.data(), std::min(size, result.size()));
    return static_cast<int64_t>(result.size());
  }
};

TEST(HostFunctionsFromC, Tr2AnswersThroughTheHostsCallback) {
  translator t;
  api32_host_set_tr2(&translator::answer, &t);
  auto& tr2 = api32::host::globals().tr2;
  struct row {
    std::string text;
    std::string expected;
    int calls;  // a result longer than the first buffer is asked for again with room for it
  };
  const std::string long_text(1000, 'x');
  for (const row& r : {row{"Title", "[Title]", 1}, row{"", "[]", 1}, row{"keep", "keep", 1},
                       row{long_text, "[" + long_text + "]", 2}}) {
    t.calls = 0;
    EXPECT_EQ(tr2(r.text), r.expected) << r.text.size();
    EXPECT_EQ(t.calls, r.calls) << r.text.size();
  }
  api32_host_set_tr2(nullptr, nullptr);
  EXPECT_EQ(api32::host::globals().tr2("Title"), "Title");
}

TEST(HostFunctionsFromC, DownloadReportsReachTheHostsCallback) {
  struct report {
    int32_t kind;
    std::string url, file, error;
    uint64_t received, expected;
  };
  std::vector<report> seen;
  api32_host_set_download_callback(
      [](int32_t kind, const char* url, const char* file, uint64_t received, uint64_t expected, const char* error,
         void* user) {
        static_cast<std::vector<report>*>(user)->push_back({kind, url, file, error, received, expected});
      },
      &seen);
  using kind = api32::host::download_event::kind;
  auto& progress = api32::host::globals().download_progress;
  ASSERT_TRUE(progress);
  progress({kind::progress, "http://127.0.0.1/a.zip", "Z:\\tmp\\a.zip", 10, 20, ""});
  progress({kind::failed, "http://127.0.0.1/a.zip", "Z:\\tmp\\a.zip", 10, 20, "cut"});
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].kind, 1);
  EXPECT_EQ(seen[0].url, "http://127.0.0.1/a.zip");
  EXPECT_EQ(seen[0].file, "Z:\\tmp\\a.zip");
  EXPECT_EQ(seen[0].received, 10u);
  EXPECT_EQ(seen[0].expected, 20u);
  EXPECT_EQ(seen[1].kind, 3);
  EXPECT_EQ(seen[1].error, "cut");
  api32_host_set_download_callback(nullptr, nullptr);
  EXPECT_FALSE(api32::host::globals().download_progress);
}

}  // namespace
