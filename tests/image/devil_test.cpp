// Tests of uo_nv_devil: the constructor's sequence through substituted DevIL libraries, the entry points'
// argument handling, a library out of reach, and a round trip through the real DevIL.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "api32/image/uo_nv_devil.hpp"
#include "api32/win32/handles.hpp"
#include "api32/win32/memory.hpp"
#include "image_test_support.hpp"
#include "support/test_support.hpp"

namespace api32 {
namespace {

using testing::bytes;
using win32::GetLastError;

constexpr unsigned il_tga = 0x042D;
constexpr std::int16_t il_invalid_enum = 0x0501;
constexpr std::int16_t il_illegal_operation = 0x0506;
constexpr std::int16_t il_invalid_param = 0x0509;
constexpr std::int16_t il_could_not_open_file = 0x050A;

blob path_blob(const std::string& path, bool terminate = true) {
  blob b(path.begin(), path.end());
  if (terminate) b.push_back(0);
  return b;
}

// A DevIL that records its calls and reports the errors queued for it.
struct fake_devil {
  static inline std::vector<std::string> calls;
  static inline std::deque<unsigned> errors;
  static inline std::vector<std::string> file_names;
  static inline std::vector<unsigned> numbers;

  static void reset() {
    calls.clear();
    errors.clear();
    file_names.clear();
    numbers.clear();
  }
  static void il_init() { calls.push_back("ilInit"); }
  static void ilu_init() { calls.push_back("iluInit"); }
  static unsigned il_get_error() {
    calls.push_back("ilGetError");
    if (errors.empty()) return 0;
    unsigned e = errors.front();
    errors.pop_front();
    return e;
  }
  static void il_bind_image(unsigned image) {
    calls.push_back("ilBindImage");
    numbers.push_back(image);
  }
  static unsigned char il_load_image(const char* name) {
    calls.push_back("ilLoadImage");
    file_names.push_back(name);
    return 1;
  }
  static unsigned char il_load(unsigned type, const char* name) {
    calls.push_back("ilLoad");
    numbers.push_back(type);
    file_names.push_back(name);
    return 1;
  }
  static unsigned char il_save_image(const char* name) {
    calls.push_back("ilSaveImage");
    file_names.push_back(name);
    return 1;
  }
  static void il_delete_images(int count, const unsigned* images) {
    calls.push_back("ilDeleteImages");
    numbers.assign(images, images + count);
  }

  static win32::module_entry_points core() {
    return win32::module_entry_points{{
        {"ilInit", reinterpret_cast<win32::FARPROC>(&il_init)},
        {"ilGetError", reinterpret_cast<win32::FARPROC>(&il_get_error)},
        {"ilBindImage", reinterpret_cast<win32::FARPROC>(&il_bind_image)},
        {"ilLoadImage", reinterpret_cast<win32::FARPROC>(&il_load_image)},
        {"ilLoad", reinterpret_cast<win32::FARPROC>(&il_load)},
        {"ilSaveImage", reinterpret_cast<win32::FARPROC>(&il_save_image)},
        {"ilDeleteImages", reinterpret_cast<win32::FARPROC>(&il_delete_images)},
    }};
  }
  static win32::module_entry_points utility() {
    return win32::module_entry_points{{{"iluInit", reinterpret_cast<win32::FARPROC>(&ilu_init)}}};
  }
};

// Puts substitutes in place of both DevIL libraries for one test.
class substituted_devil {
public:
  substituted_devil(win32::module_entry_points core, win32::module_entry_points utility)
      : core_(uo_nv_devil::devil_core_library, std::move(core)),
        utility_(uo_nv_devil::devil_utility_library, std::move(utility)) {
    fake_devil::reset();
  }

private:
  win32::scoped_module_substitute core_;
  win32::scoped_module_substitute utility_;
};

TEST(DevilConstructor, DecidesReadinessInTheSpecifiedOrder) {
  using calls = std::vector<std::string>;
  const calls full = {"ilInit", "ilGetError", "iluInit", "ilGetError"};
  const calls core_only = {"ilInit", "ilGetError"};
  auto without_ilu_init = win32::module_entry_points{std::map<std::string, win32::FARPROC, std::less<>>{}};
  struct scenario {
    const char* name;
    std::deque<unsigned> errors;
    win32::module_entry_points core, utility;
    bool ready;
    calls expected_calls;
    win32::DWORD last_error;  // checked when not 0
  };
  const std::vector<scenario> scenarios = {
      {"both succeed", {0, 0}, fake_devil::core(), fake_devil::utility(), true, full, 0},
      {"core error stops before ILU",
       {il_illegal_operation},
       fake_devil::core(),
       fake_devil::utility(),
       false,
       core_only,
       0},
      {"ILU error", {0, il_invalid_enum}, fake_devil::core(), fake_devil::utility(), false, full, 0},
      {"ILU library missing", {}, fake_devil::core(), std::nullopt, false, core_only, win32::ERROR_MOD_NOT_FOUND},
      {"ILU lacks iluInit", {}, fake_devil::core(), without_ilu_init, false, core_only, win32::ERROR_PROC_NOT_FOUND},
      {"core library missing", {}, std::nullopt, fake_devil::utility(), false, {}, win32::ERROR_MOD_NOT_FOUND},
  };
  for (const scenario& s : scenarios) {
    SCOPED_TRACE(s.name);
    substituted_devil libraries(s.core, s.utility);
    fake_devil::errors = s.errors;
    win32::SetLastError(0);
    uo_nv_devil devil;
    EXPECT_EQ(devil.devil_ready, s.ready);
    EXPECT_EQ(fake_devil::calls, s.expected_calls);
    if (s.last_error != 0) {
      EXPECT_EQ(GetLastError(), s.last_error);
    }
  }
}

TEST(DevilConstructor, EachObjectDecidesAgainAndKeepsItsState) {
  substituted_devil libraries(fake_devil::core(), fake_devil::utility());
  uo_nv_devil first;
  ASSERT_TRUE(first.devil_ready);
  fake_devil::calls.clear();
  fake_devil::errors = {0, il_invalid_enum};
  uo_nv_devil second;
  EXPECT_FALSE(second.devil_ready);
  EXPECT_EQ(fake_devil::calls, (std::vector<std::string>{"ilInit", "ilGetError", "iluInit", "ilGetError"}));
  EXPECT_TRUE(first.devil_ready);  // decided once, never changed by later calls or objects
  fake_devil::errors = {il_invalid_param};
  EXPECT_EQ(first.ilgeterror(), il_invalid_param);
  EXPECT_TRUE(first.devil_ready);
  uo_nv_devil third;
  EXPECT_TRUE(third.devil_ready);
}

TEST(DevilConstructor, ReleasesItsModuleHandles) {
  const std::size_t before = win32::handles().count(win32::handle_kind::module);
  {
    substituted_devil libraries(fake_devil::core(), fake_devil::utility());
    uo_nv_devil devil;
    EXPECT_EQ(win32::handles().count(win32::handle_kind::module), before + 2);
  }
  EXPECT_EQ(win32::handles().count(win32::handle_kind::module), before);
}

TEST(DevilEntryPoints, WithoutTheLibraryEveryCallFailsQuietly) {
  substituted_devil libraries(std::nullopt, std::nullopt);
  uo_nv_devil devil;
  ASSERT_FALSE(devil.devil_ready);
  const blob name = path_blob("/tmp/x.tga");
  win32::HLOCAL block = win32::LocalAlloc(win32::LPTR, 4);
  const std::vector<std::pair<const char*, std::function<long()>>> calls = {
      {"ilinit", [&] { return long(devil.ilinit()); }},
      {"iluinit", [&] { return long(devil.iluinit()); }},
      {"ilbindimage", [&] { return long(devil.ilbindimage(1)); }},
      {"illoadimage", [&] { return long(devil.illoadimage(name)); }},
      {"ilload", [&] { return long(devil.ilload(il_tga, name)); }},
      {"ilsaveimage", [&] { return long(devil.ilsaveimage(name)); }},
      {"ildeleteimages", [&] { return long(devil.ildeleteimages(1, static_cast<std::int32_t>(block))); }},
      {"ilgeterror", [&] { return long(devil.ilgeterror()); }},
  };
  for (const auto& [entry_point, call] : calls) {
    win32::SetLastError(0);
    EXPECT_EQ(call(), 0) << entry_point;
    EXPECT_EQ(GetLastError(), win32::ERROR_MOD_NOT_FOUND) << entry_point;
  }
  win32::LocalFree(block);
}

TEST(DevilEntryPoints, FileNameBlobsAreMappedToNativePaths) {
  substituted_devil libraries(fake_devil::core(), fake_devil::utility());
  uo_nv_devil devil;
  testing::temp_dir dir;
  testing::write_file(dir / "Picture.tga", "x");

  blob windows_name = path_blob(dir.windows("PICTURE.TGA"));         // found without regard to case
  windows_name.insert(windows_name.end(), {'j', 'u', 'n', 'k', 0});  // bytes after the first zero are not read
  EXPECT_TRUE(devil.illoadimage(windows_name));
  EXPECT_TRUE(devil.ilload(il_tga, path_blob(dir / "Picture.tga", false)));  // no zero: the whole blob
  EXPECT_TRUE(devil.ilsaveimage(path_blob(dir.windows("out\\New.BMP"))));
  devil.illoadimage(path_blob("\\\\server\\share\\x.tga"));  // not reachable: DevIL is given ""
  EXPECT_TRUE(devil.illoadimage(blob{}));
  const std::vector<std::string> expected = {dir / "Picture.tga", dir / "Picture.tga", dir / "out/New.BMP", "", ""};
  EXPECT_EQ(fake_devil::file_names, expected);
  EXPECT_EQ(fake_devil::numbers, std::vector<unsigned>{il_tga});
  devil.ilbindimage(0xFFFFFFFFu);
  EXPECT_EQ(fake_devil::numbers.back(), 0xFFFFFFFFu);
}

TEST(DevilEntryPoints, DeleteImagesReadsTheNamesFromTheAddressedBlock) {
  substituted_devil libraries(fake_devil::core(), fake_devil::utility());
  uo_nv_devil devil;
  const unsigned names[] = {3, 7, 0xFFFFFFFFu};
  win32::HLOCAL block = win32::LocalAlloc(win32::LPTR, sizeof names);
  ASSERT_TRUE(win32::write_local_block(block, 0, names, sizeof names));
  const auto address = static_cast<std::int32_t>(block);

  EXPECT_EQ(devil.ildeleteimages(2, address), 0u);
  EXPECT_EQ(fake_devil::numbers, (std::vector<unsigned>{3, 7}));
  EXPECT_EQ(devil.ildeleteimages(3, address), 0u);
  EXPECT_EQ(fake_devil::numbers, (std::vector<unsigned>{3, 7, 0xFFFFFFFFu}));

  // Refused without reaching DevIL: more names than the block holds, not a block, nothing to delete.
  fake_devil::calls.clear();
  win32::SetLastError(0);
  devil.ildeleteimages(4, address);
  EXPECT_EQ(GetLastError(), win32::ERROR_INVALID_PARAMETER);
  win32::LocalFree(block);
  devil.ildeleteimages(1, address);
  EXPECT_EQ(GetLastError(), win32::ERROR_INVALID_HANDLE);
  devil.ildeleteimages(1, -1);
  devil.ildeleteimages(0, 0);
  EXPECT_TRUE(fake_devil::calls.empty());
}

// ---- the real DevIL of this machine

TEST(RealDevil, InitialisesAndRoundTripsATgaToABmp) {
  uo_nv_devil devil;
  ASSERT_TRUE(devil.devil_ready) << "DevIL (libIL.so.1, libILU.so.1) should be installed";
  testing::temp_dir dir;
  const testing::picture image = testing::pattern(13, 6);
  testing::write_pam(dir / "in.pam", image);
  ASSERT_EQ(testing::run("convert " + dir / "in.pam" + " -alpha off -flip -orient BottomLeft -compress RLE " +
                         dir / "in.tga"),
            0);

  for (bool by_type : {false, true}) {
    SCOPED_TRACE(by_type ? "ilload" : "illoadimage");
    const std::string out = by_type ? "typed.bmp" : "plain.bmp";
    devil.ilbindimage(9);
    const blob source = path_blob(dir.windows("IN.TGA"));
    ASSERT_TRUE(by_type ? devil.ilload(il_tga, source) : devil.illoadimage(source)) << devil.ilgeterror();
    ASSERT_TRUE(devil.ilsaveimage(path_blob(dir.windows(out)))) << devil.ilgeterror();
    EXPECT_EQ(devil.ilgeterror(), 0);

    std::string why;
    auto saved = testing::read_bmp(dir / out, &why);
    ASSERT_TRUE(saved) << why;
    ASSERT_EQ(saved->width, image.width);
    ASSERT_EQ(saved->height, image.height);
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
      testing::rgba expected = image.pixels[i];
      expected.a = 255;
      ASSERT_EQ(saved->pixels[i], expected) << "pixel " << i;
    }
  }
  win32::HLOCAL names = win32::LocalAlloc(win32::LPTR, 4);
  const unsigned nine = 9;
  win32::write_local_block(names, 0, &nine, sizeof nine);
  devil.ildeleteimages(1, static_cast<std::int32_t>(names));
  win32::LocalFree(names);
  EXPECT_EQ(devil.ilgeterror(), 0);
}

TEST(RealDevil, ReportsItsErrorsThroughIlGetError) {
  uo_nv_devil devil;
  ASSERT_TRUE(devil.devil_ready);
  testing::temp_dir dir;
  devil.ilbindimage(11);
  EXPECT_FALSE(devil.illoadimage(path_blob(dir.windows("missing.tga"))));
  EXPECT_EQ(devil.ilgeterror(), il_could_not_open_file);
  EXPECT_EQ(devil.ilgeterror(), 0);  // DevIL's error stack is emptied by reading it
  EXPECT_FALSE(devil.illoadimage(path_blob("\\\\server\\share\\x.tga")));
  EXPECT_EQ(devil.ilgeterror(), il_invalid_param);
}

TEST(RealDevil, ConverterWorksWhateverDevilsState) {
  substituted_devil libraries(std::nullopt, std::nullopt);
  uo_nv_devil devil;
  ASSERT_FALSE(devil.devil_ready);
  testing::temp_dir dir;
  testing::write_pam(dir / "in.pam", testing::pattern(3, 2));
  ASSERT_EQ(testing::run("convert " + dir / "in.pam" + " " + dir / "in.tga"), 0);
  blob source = path_blob(dir.windows("in.tga"));
  source.insert(source.end(), {'?', '?'});  // ignored after the zero
  EXPECT_EQ(devil.tgatobmps(source, path_blob(dir / "c.bmp", false), path_blob(dir.windows("A.bmp"))), 1);
  EXPECT_TRUE(testing::read_bmp(dir / "c.bmp"));
  EXPECT_TRUE(testing::read_bmp(dir / "A.bmp"));
  EXPECT_EQ(devil.tgatobmps(path_blob(dir.windows("none.tga")), path_blob(dir / "d.bmp"), blob{}), 0);
  EXPECT_EQ(devil.tgatobmps(source, path_blob(dir.windows("no\\such\\folder.bmp")), blob{}), -1);
}

}  // namespace
}  // namespace api32
