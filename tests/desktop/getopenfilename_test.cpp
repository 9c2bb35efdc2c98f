// uo_nv_getopenfilename over a scripted chooser: what the dialog is asked, how the choice comes back, the
// failures and their box, and the blocks freed on every path.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "api32/desktop/uo_nv_getopenfilename.hpp"
#include "api32/win32/handles.hpp"
#include "scripted_chooser.hpp"
#include "support/test_support.hpp"

namespace w = api32::win32;
using api32::testing::recorded_boxes;
using api32::testing::scoped_chooser;

namespace {

std::size_t live_blocks() { return w::handles().count(w::handle_kind::memory); }

struct dialog_call : ::testing::Test {
  scoped_chooser chooser;
  recorded_boxes boxes;
  api32::uo_nv_getopenfilename o;
  std::vector<std::string> paths = {"left over"}, names = {"left over"};
  std::size_t blocks_before = live_blocks();

  std::int16_t call(const std::string& filter = "Add-ons,*.zip;*.rar,All files,*.*", const std::string& title = "t",
                    std::int32_t hwnd = 0) {
    std::int16_t rc = o.of_getopenfilename(hwnd, title, paths, names, filter);
    EXPECT_EQ(live_blocks(), blocks_before) << "the three blocks are freed before the call returns";
    return rc;
  }
};

}  // namespace

TEST(UoNvGetopenfilename, ConstructorFillsTheArgumentBlock) {
  api32::uo_nv_getopenfilename o;
  api32::openfilename expected;
  expected.lstructsize = 76;
  expected.nfilterindex = 1;
  expected.nmaxfile = 32767;
  expected.flags = 0x81200;
  EXPECT_EQ(std::memcmp(&o.iofn, &expected, sizeof expected), 0);
}

TEST_F(dialog_call, AsksWithTitleFilterAndOwnerFlags) {
  EXPECT_EQ(call(" Add-ons , *.zip;*.rar ,All files,*.*,", "Add-on w\xC3\xA4hlen \xE2\x80\x93 \xC3\x9C"), 0);
  ASSERT_EQ(chooser->requests.size(), 1u);
  const w::open_file_request& r = chooser->requests[0];
  EXPECT_EQ(r.title, "Add-on wählen – Ü");
  ASSERT_EQ(r.filters.size(), 2u);
  EXPECT_EQ(r.filters[0].name, "Add-ons");  // blanks around elements are gone
  EXPECT_EQ(r.filters[0].patterns, (std::vector<std::string>{"*.zip", "*.rar"}));
  EXPECT_EQ(r.filters[1].name, "All files");
  EXPECT_EQ(r.filter_index, 0u);
  EXPECT_TRUE(r.allow_multiple);
  EXPECT_TRUE(r.file_must_exist);
}

TEST_F(dialog_call, FilterListsTheDialogGetsWellFormed) {
  struct row {
    const char* list;
    std::vector<std::string> names;
  };
  const row rows[] = {
      {"Zip,*.zip,,All,*.*", {"Zip", "All"}},  // an empty element in the middle is dropped
      {"Zip,*.zip, ,All,*.*", {"Zip", "All"}},
      {"", {}},  // no filter at all: every file
      {"   ", {}},
      {",Zip,*.zip", {}},          // a leading comma yields no element
      {"Zip,*.zip,All", {"Zip"}},  // a description without a pattern is left out
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.list);
    chooser->requests.clear();
    call(r.list);
    ASSERT_EQ(chooser->requests.size(), 1u);
    std::vector<std::string> names;
    for (const auto& f : chooser->requests[0].filters) names.push_back(f.name);
    EXPECT_EQ(names, r.names);
  }
}

TEST_F(dialog_call, ChoicesComeBackAsPathsAndNames) {
  struct row {
    const char* what;
    std::vector<std::string> chosen;
    std::vector<std::string> paths, names;
  };
  const row rows[] = {
      {"one file", {"/tmp/x/mod.zip"}, {"Z:\\tmp\\x\\mod.zip"}, {"mod.zip"}},
      {"three files in the dialog's order",
       {"/tmp/x/c.zip", "/tmp/x/a.zip", "/tmp/x/b.zip"},
       {"Z:\\tmp\\x\\c.zip", "Z:\\tmp\\x\\a.zip", "Z:\\tmp\\x\\b.zip"},
       {"c.zip", "a.zip", "b.zip"}},
      {"a drive root still gets a backslash", {"/a.zip", "/b.zip"}, {"Z:\\\\a.zip", "Z:\\\\b.zip"}, {"a.zip", "b.zip"}},
      {"non-ASCII names round-trip",
       {"/tmp/\xC3\xA4/\xC3\x9C"
        "berweisung \xC3\x9F.zip"},
       {"Z:\\tmp\\ä\\Überweisung ß.zip"},
       {"Überweisung ß.zip"}},
      {"a choice across folders",
       {"/t/x/a.zip", "/t/y/b.zip"},
       {"Z:\\t\\x\\a.zip", "Z:\\t\\y\\b.zip"},
       {"x\\a.zip", "y\\b.zip"}},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    chooser->choose_paths(r.chosen);
    EXPECT_EQ(call(), 1);
    EXPECT_EQ(paths, r.paths);
    EXPECT_EQ(names, r.names);
  }
  EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(dialog_call, CancelGivesZeroAndEmptyArrays) {
  chooser->choose_paths({"/tmp/x/a.zip", "/tmp/x/b.zip"});
  ASSERT_EQ(call(), 1);
  ASSERT_EQ(paths.size(), 2u);
  chooser->cancel();  // a second call on the same object starts empty
  EXPECT_EQ(call(), 0);
  EXPECT_TRUE(paths.empty());
  EXPECT_TRUE(names.empty());
  EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(dialog_call, DialogErrorsShowOneBoxAndGiveMinusOne) {
  struct row {
    const char* what;
    void (*script)(api32::testing::scripted_chooser&);
    std::int32_t hwnd;
    const char* text;
  };
  const row rows[] = {
      {"a choice longer than the block",
       [](api32::testing::scripted_chooser& c) {
         std::vector<std::string> many;
         for (int i = 0; i < 140; ++i) many.push_back("/tmp/x/" + std::string(240, 'a') + std::to_string(i));
         c.choose_paths(many);
       },
       0, "Error code: 12291"},
      {"no dialog could be shown", [](api32::testing::scripted_chooser& c) { c.fail(); }, 0, "Error code: 65535"},
      {"an owner that is no window", [](api32::testing::scripted_chooser& c) { c.choose_paths({"/a"}); }, 4242,
       "Error code: 65535"},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    boxes.clear();
    r.script(*chooser.chooser);
    paths = {"left over"};
    EXPECT_EQ(call("Zip,*.zip", "t", r.hwnd), -1);
    EXPECT_TRUE(paths.empty());
    EXPECT_TRUE(names.empty());
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0], (api32::message{"Common Dialog Error", r.text, api32::msg_icon::information}));
  }
}
