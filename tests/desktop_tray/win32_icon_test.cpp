// win32_icon_test.cpp - LoadImageA and DestroyIcon: icon files, other images, and what is refused.
#include <gtest/gtest.h>

#include "api32/desktop_win32/desktop_icon.hpp"
#include "api32/win32/handles.hpp"
#include "icon_files.hpp"
#include "support/test_support.hpp"

namespace api32::win32 {
namespace {

using api32::testing::temp_dir;

std::uint32_t pixel(const icon_image& image, int x, int y) {
  const std::size_t at =
      (static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) + static_cast<std::size_t>(x)) * 4;
  return (std::uint32_t{image.argb[at]} << 24) | (std::uint32_t{image.argb[at + 1]} << 16) |
         (std::uint32_t{image.argb[at + 2]} << 8) | image.argb[at + 3];
}

TEST(LoadImageA, ReadsIconFilesAsArgbRowsTopFirst) {
  temp_dir dir;
  testing::write_ico(dir / "two.ico", {{16, 0xFF0000FF, 0xFF00FF00}, {32, 0x80FF0000, 0xFFFFFFFF}});
  HICON icon = LoadImageA(0, dir.windows("two.ico"), IMAGE_ICON, 0, 0, LR_LOADFROMFILE);
  ASSERT_NE(icon, 0u);
  auto image = icon_pixels(icon);
  ASSERT_TRUE(image);
  // the own size of a multi-size icon is its largest image
  EXPECT_EQ(image->width, 32);
  EXPECT_EQ(image->height, 32);
  ASSERT_EQ(image->argb.size(), 32u * 32u * 4u);
  EXPECT_EQ(pixel(*image, 0, 0), 0x80FF0000u);    // top half: red, half transparent, not premultiplied
  EXPECT_EQ(pixel(*image, 31, 31), 0xFFFFFFFFu);  // bottom half: white
  EXPECT_EQ(DestroyIcon(icon), TRUE_);
  EXPECT_FALSE(icon_pixels(icon));
}

TEST(LoadImageA, ScalesToARequestedSizeAndBringsBigImagesDownToTheIconLimit) {
  temp_dir dir;
  testing::write_png(dir / "big.png", 512, 256, 0xFF0000FF);
  HICON sized = LoadImageA(0, (dir / "big.png"), IMAGE_ICON, 24, 24, LR_LOADFROMFILE);
  HICON own = LoadImageA(0, (dir / "big.png"), IMAGE_ICON, 0, 0, LR_LOADFROMFILE);
  ASSERT_NE(sized, 0u);
  ASSERT_NE(own, 0u);
  EXPECT_EQ(icon_pixels(sized)->width, 24);
  EXPECT_EQ(icon_pixels(sized)->height, 24);
  EXPECT_EQ(icon_pixels(own)->width, max_icon_side);  // proportions kept
  EXPECT_EQ(icon_pixels(own)->height, max_icon_side / 2);
  EXPECT_EQ(pixel(*icon_pixels(own), 10, 10), 0xFF0000FFu);
  DestroyIcon(sized);
  DestroyIcon(own);
}

struct refused_case {
  const char* name;
  const char* file;  ///< below the test folder; "" = the folder itself
  std::uint32_t type;
  std::uint32_t flags;
  DWORD error;
};

std::ostream& operator<<(std::ostream& out, const refused_case& c) { return out << c.name; }

class LoadImageRefused : public ::testing::TestWithParam<refused_case> {};

TEST_P(LoadImageRefused, ReturnsZeroWithTheErrorAndNoHandle) {
  temp_dir dir;
  api32::testing::write_file(dir / "notes.txt", "this is not an image\n");
  api32::testing::write_file(dir / "empty.ico", "");
  testing::write_ico(dir / "good.ico", {{16, 0xFF000000, 0xFF000000}});
  testing::write_png(dir / "huge.png", max_image_side + 1, 1, 0xFF000000);
  const std::size_t icons_before = handles().count(handle_kind::icon);
  const refused_case& c = GetParam();
  SetLastError(0xdeadbeef);
  HICON icon = LoadImageA(0, dir.windows(c.file), c.type, 0, 0, c.flags);
  EXPECT_EQ(icon, 0u);
  EXPECT_EQ(GetLastError(), c.error);
  EXPECT_EQ(handles().count(handle_kind::icon), icons_before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadImageRefused,
    ::testing::Values(refused_case{"missing", "none.ico", IMAGE_ICON, LR_LOADFROMFILE, ERROR_FILE_NOT_FOUND},
                      refused_case{"text_file", "notes.txt", IMAGE_ICON, LR_LOADFROMFILE, ERROR_BAD_FORMAT},
                      refused_case{"empty_file", "empty.ico", IMAGE_ICON, LR_LOADFROMFILE, ERROR_BAD_FORMAT},
                      refused_case{"folder", "", IMAGE_ICON, LR_LOADFROMFILE, ERROR_FILE_NOT_FOUND},
                      refused_case{"larger_than_any_icon", "huge.png", IMAGE_ICON, LR_LOADFROMFILE, ERROR_BAD_FORMAT},
                      refused_case{"resource_not_file", "good.ico", IMAGE_ICON, 0, ERROR_RESOURCE_NAME_NOT_FOUND},
                      refused_case{"bitmap_type", "good.ico", IMAGE_BITMAP, LR_LOADFROMFILE, ERROR_NOT_SUPPORTED}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DestroyIcon, RefusesZeroStaleAndOtherHandles) {
  temp_dir dir;
  testing::write_ico(dir / "a.ico", {{16, 0xFF000000, 0xFF000000}});
  HICON icon = LoadImageA(0, dir / "a.ico", IMAGE_ICON, 0, 0, LR_LOADFROMFILE);
  ASSERT_NE(icon, 0u);
  const std::uint32_t not_an_icon = handles().add<int>(handle_kind::other, std::make_shared<int>(1));
  EXPECT_EQ(DestroyIcon(icon), TRUE_);
  for (HICON bad : {HICON{0}, icon, not_an_icon}) {
    SetLastError(0);
    EXPECT_EQ(DestroyIcon(bad), FALSE_) << bad;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_CURSOR_HANDLE) << bad;
  }
  EXPECT_TRUE(handles().take<int>(not_an_icon, handle_kind::other));
}

}  // namespace
}  // namespace api32::win32
