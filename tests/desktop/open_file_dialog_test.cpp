// GetOpenFileNameA over a scripted chooser: the argument block read as Windows reads it, the result block
// written in the Win32 form and never past the block, and CommDlgExtendedError's codes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api32/desktop_win32/desktop_dialog.hpp"
#include "api32/win32/handles.hpp"
#include "api32/win32/memory.hpp"
#include "scripted_chooser.hpp"

namespace w = api32::win32;
using api32::testing::scoped_chooser;

using namespace std::string_literals;

namespace {

// A block holding exactly `bytes`.
w::HLOCAL block_of(const std::string& bytes) {
  w::HLOCAL b = w::LocalAlloc(w::LMEM_ZEROINIT, bytes.size());
  EXPECT_TRUE(w::write_local_block(b, 0, bytes.data(), bytes.size()));
  return b;
}

std::string content(w::HLOCAL b) {
  std::string out(w::LocalSize(b), '?');
  w::read_local_block(b, 0, out.data(), out.size());
  return out;
}

// An argument block as the class builds it, with its own blocks freed at the end of the test.
struct argument_block {
  w::OPENFILENAMEA ofn;
  std::vector<w::HLOCAL> blocks;

  argument_block(const std::string& title, const std::string& filter, std::size_t file_size = 32767) {
    ofn.lstructsize = 76;
    ofn.nfilterindex = 1;
    ofn.flags = w::OFN_EXPLORER | w::OFN_FILEMUSTEXIST | w::OFN_ALLOWMULTISELECT;
    ofn.lpstrtitle = keep(block_of(title));
    ofn.lpstrfilter = filter.empty() ? 0 : keep(block_of(filter));
    ofn.lpstrfile = keep(w::LocalAlloc(w::LMEM_ZEROINIT, file_size));
    ofn.nmaxfile = static_cast<std::uint32_t>(file_size);
  }
  ~argument_block() {
    for (w::HLOCAL b : blocks) w::LocalFree(b);
  }
  w::HLOCAL keep(w::HLOCAL b) {
    blocks.push_back(b);
    return b;
  }
};

}  // namespace

TEST(OpenFileResult, WindowsMultiSelectForm) {
  struct row {
    const char* what;
    std::vector<std::string> paths;
    std::string block;
  };
  const row rows[] = {
      {"one file", {"/tmp/x/mod.zip"}, "Z:\\tmp\\x\\mod.zip\0\0"s},
      {"names in the dialog's order",
       {"/tmp/x/c.zip", "/tmp/x/a.zip", "/tmp/x/b.zip"},
       "Z:\\tmp\\x\0c.zip\0a.zip\0b.zip\0\0"s},
      {"a drive root keeps its backslash", {"/a.zip", "/b.zip"}, "Z:\\\0a.zip\0b.zip\0\0"s},
      {"folders that differ deeper down", {"/t/x/a.zip", "/t/y/z/b.zip"}, "Z:\\t\0x\\a.zip\0y\\z\\b.zip\0\0"s},
      {"a shared prefix that is not a folder", {"/t/ab/a.zip", "/t/ac/b.zip"}, "Z:\\t\0ab\\a.zip\0ac\\b.zip\0\0"s},
      {"one file above the others", {"/t/a.zip", "/t/u/b.zip"}, "Z:\\t\0a.zip\0u\\b.zip\0\0"s},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    EXPECT_EQ(w::open_file_result(r.paths), r.block);
  }
}

TEST(FilterMatches, WindowsPatternsWithoutRegardToCase) {
  const w::file_type_filter addons{"Add-ons", {"*.zip", "*.rar"}};
  const w::file_type_filter all{"All files", {"*.*"}};
  EXPECT_TRUE(w::filter_matches(addons, "MOD.ZIP"));
  EXPECT_TRUE(w::filter_matches(addons, "pack.Rar"));
  EXPECT_FALSE(w::filter_matches(addons, "readme.txt"));
  EXPECT_FALSE(w::filter_matches(addons, "zip"));
  EXPECT_TRUE(w::filter_matches(all, "README"));  // *.* also takes names without a point
  EXPECT_FALSE(w::filter_matches(w::file_type_filter{"none", {}}, "a.zip"));
}

TEST(GetOpenFileNameA, ReadsTheArgumentBlock) {
  scoped_chooser chooser;
  argument_block a("Add-on w\xC3\xA4hlen", " Add-ons\0*.zip; *.RAR ;\0All\0*.*\0\0"s);
  a.ofn.nfilterindex = 2;
  EXPECT_EQ(w::GetOpenFileNameA(&a.ofn), w::FALSE_);  // the script cancels
  EXPECT_EQ(w::CommDlgExtendedError(), 0u);
  ASSERT_EQ(chooser->requests.size(), 1u);
  const w::open_file_request& r = chooser->requests[0];
  EXPECT_EQ(r.title, "Add-on wählen");
  ASSERT_EQ(r.filters.size(), 2u);
  EXPECT_EQ(r.filters[0].name, " Add-ons");
  EXPECT_EQ(r.filters[0].patterns, (std::vector<std::string>{"*.zip", "*.RAR"}));
  EXPECT_EQ(r.filters[1].patterns, std::vector<std::string>{"*.*"});
  EXPECT_EQ(r.filter_index, 1u);
  EXPECT_TRUE(r.allow_multiple);
  EXPECT_TRUE(r.file_must_exist);
  EXPECT_EQ(r.owner, 0u);
  EXPECT_EQ(content(a.ofn.lpstrfile), std::string(32767, '\0'));  // a cancel writes nothing
}

TEST(GetOpenFileNameA, DecodesOddBlocksWithoutReadingPastThem) {
  struct row {
    const char* what;
    std::string title, filter;
    std::uint32_t index;
    std::string expected_title;
    std::size_t filters;
    std::size_t expected_index;
  };
  const row rows[] = {
      {"an empty title is the default one", "\0\0"s, "", 1, "Open", 0, 0},
      {"a title block without its NUL", "Pick", "", 1, "Pick", 0, 0},
      {"a filter block without its NULs", "t", "Zip\0*.zip"s, 1, "t", 1, 0},
      {"a description without a pattern is dropped", "t", "Zip\0*.zip\0All\0\0"s, 1, "t", 1, 0},
      {"index 0 picks the first pair", "t", "A\0*.a\0B\0*.b\0\0"s, 0, "t", 2, 0},
      {"an index past the list picks the first pair", "t", "A\0*.a\0B\0*.b\0\0"s, 9, "t", 2, 0},
      {"an empty filter block is no filter", "t", std::string(1, '\0'), 1, "t", 0, 0},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    scoped_chooser chooser;
    argument_block a(r.title, r.filter);
    a.ofn.nfilterindex = r.index;
    w::GetOpenFileNameA(&a.ofn);
    ASSERT_EQ(chooser->requests.size(), 1u);
    EXPECT_EQ(chooser->requests[0].title, r.expected_title);
    EXPECT_EQ(chooser->requests[0].filters.size(), r.filters);
    EXPECT_EQ(chooser->requests[0].filter_index, r.expected_index);
  }
}

TEST(GetOpenFileNameA, WritesTheChoiceAndItsOffsets) {
  scoped_chooser chooser;
  {
    argument_block a("t", "");
    chooser->choose_paths({"/tmp/x/mod.zip"});
    ASSERT_EQ(w::GetOpenFileNameA(&a.ofn), w::TRUE_);
    EXPECT_EQ(w::CommDlgExtendedError(), 0u);
    EXPECT_EQ(content(a.ofn.lpstrfile).substr(0, 20), "Z:\\tmp\\x\\mod.zip\0\0\0\0"s);
    EXPECT_EQ(a.ofn.nfileoffset, 9);      // "mod.zip"
    EXPECT_EQ(a.ofn.nfileextension, 13);  // "zip"
  }
  {
    argument_block a("t", "");
    chooser->choose_paths({"/tmp/x/a.zip", "/tmp/x/README"});
    ASSERT_EQ(w::GetOpenFileNameA(&a.ofn), w::TRUE_);
    EXPECT_EQ(content(a.ofn.lpstrfile).substr(0, 24), "Z:\\tmp\\x\0a.zip\0README\0\0\0"s);
    EXPECT_EQ(a.ofn.nfileoffset, 9);
    EXPECT_EQ(a.ofn.nfileextension, 0);
  }
}

TEST(GetOpenFileNameA, FailuresAndTheirCodes) {
  scoped_chooser chooser;
  w::HLOCAL stale = w::LocalAlloc(w::LMEM_ZEROINIT, 8);
  w::LocalFree(stale);
  std::uint32_t not_a_window = w::handles().add(w::handle_kind::other, std::make_shared<int>(0));

  struct row {
    const char* what;
    void (*spoil)(w::OPENFILENAMEA&, w::HLOCAL, std::uint32_t);
    w::DWORD code;
  };
  const row rows[] = {
      {"the 88-byte size", [](w::OPENFILENAMEA& o, w::HLOCAL, std::uint32_t) { o.lstructsize = 88; },
       w::CDERR_STRUCTSIZE},
      {"no result block", [](w::OPENFILENAMEA& o, w::HLOCAL, std::uint32_t) { o.lpstrfile = 0; },
       w::CDERR_INITIALIZATION},
      {"a freed result block", [](w::OPENFILENAMEA& o, w::HLOCAL s, std::uint32_t) { o.lpstrfile = s; },
       w::CDERR_INITIALIZATION},
      {"a freed title block", [](w::OPENFILENAMEA& o, w::HLOCAL s, std::uint32_t) { o.lpstrtitle = s; },
       w::CDERR_INITIALIZATION},
      {"a freed filter block", [](w::OPENFILENAMEA& o, w::HLOCAL s, std::uint32_t) { o.lpstrfilter = s; },
       w::CDERR_INITIALIZATION},
      {"an owner that is no window", [](w::OPENFILENAMEA& o, w::HLOCAL, std::uint32_t h) { o.hwndowner = h; },
       w::CDERR_DIALOGFAILURE},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    argument_block a("t", "A\0*.a\0\0"s);
    r.spoil(a.ofn, stale, not_a_window);
    EXPECT_EQ(w::GetOpenFileNameA(&a.ofn), w::FALSE_);
    EXPECT_EQ(w::CommDlgExtendedError(), r.code);
  }
  EXPECT_TRUE(chooser->requests.empty());  // none of them reached the user

  argument_block a("t", "");
  chooser->fail();  // e.g. no display
  EXPECT_EQ(w::GetOpenFileNameA(&a.ofn), w::FALSE_);
  EXPECT_EQ(w::CommDlgExtendedError(), w::CDERR_DIALOGFAILURE);
  w::handles().take<int>(not_a_window, w::handle_kind::other);
}

TEST(GetOpenFileNameA, AChoiceTooLongIsRefusedWithTheSizeNeeded) {
  scoped_chooser chooser;
  chooser->choose_paths({"/tmp/x/a.zip", "/tmp/x/b.zip"});  // "Z:\tmp\x" a.zip b.zip: 9 + 6 + 6 + 1 = 22 bytes
  {
    argument_block a("t", "", 32);
    a.ofn.nmaxfile = 21;  // one byte short
    EXPECT_EQ(w::GetOpenFileNameA(&a.ofn), w::FALSE_);
    EXPECT_EQ(w::CommDlgExtendedError(), w::FNERR_BUFFERTOOSMALL);
    EXPECT_EQ(content(a.ofn.lpstrfile), "\x16\0"s + std::string(30, '\0'));
    a.ofn.nmaxfile = 22;  // exactly enough
    EXPECT_EQ(w::GetOpenFileNameA(&a.ofn), w::TRUE_);
  }
  {
    // nmaxfile larger than the block: the block's size is the limit, nothing is written past it
    argument_block a("t", "", 16);
    a.ofn.nmaxfile = 32767;
    EXPECT_EQ(w::GetOpenFileNameA(&a.ofn), w::FALSE_);
    EXPECT_EQ(w::CommDlgExtendedError(), w::FNERR_BUFFERTOOSMALL);
  }
}
