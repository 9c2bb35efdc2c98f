// Registry: .reg files in both formats, their errors, the content-type source and the cache.
#include <gtest/gtest.h>

#include <chrono>

#include "api32/runtime/registry.hpp"
#include "support/test_support.hpp"

namespace reg = api32::registry;

class Registry : public ::testing::Test {
protected:
  void SetUp() override {
    reg::reset();
    reg::use_content_types(false);
  }
  void TearDown() override {
    reg::reset();
    reg::use_content_types(true);
  }
};

TEST_F(Registry, Regedit4DefaultValuesAndEscapes) {
  auto r = reg::load_reg_text(
      "REGEDIT4\r\n"
      "\r\n"
      "; a comment\r\n"
      "[HKEY_CLASSES_ROOT\\.log]\r\n"
      "@=\"logfile\"\r\n"
      "\"Content Type\"=\"text/plain\"\r\n"
      "[HKEY_CLASSES_ROOT\\logfile\\shell\\open\\command]\r\n"
      "@=\"\\\"C:\\\\Windows\\\\NOTEPAD.EXE\\\" %1\"\r\n"
      "[HKEY_CLASSES_ROOT\\.num]\r\n"
      "@=dword:0000002a\r\n");
  EXPECT_TRUE(r.errors.empty()) << r.errors.front();
  EXPECT_EQ(reg::default_value("HKEY_CLASSES_ROOT\\.log"), "logfile");
  EXPECT_EQ(reg::default_value("hkcr\\.LOG"), "logfile");  // short root, any case
  EXPECT_EQ(reg::default_value("HKEY_CLASSES_ROOT\\logfile\\shell\\open\\command"), "\"C:\\Windows\\NOTEPAD.EXE\" %1");
  EXPECT_EQ(reg::default_value("HKEY_CLASSES_ROOT\\.num"), "42");
  EXPECT_EQ(reg::default_value("HKEY_CLASSES_ROOT\\.missing"), std::nullopt);
}

TEST_F(Registry, Version5Utf16WithHexContinuation) {
  std::string utf8 =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_CLASSES_ROOT\\.über]\r\n"
      "@=\"Überdatei\"\r\n"
      "[HKEY_CLASSES_ROOT\\x]\r\n"
      "@=hex(2):25,00,31,00,\\\r\n"
      "  00,00\r\n";
  std::string utf16 = "\xFF\xFE";
  // encode as UTF-16LE (all characters here are in the BMP)
  for (std::size_t i = 0; i < utf8.size();) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    unsigned cp;
    if (c < 0x80) {
      cp = c;
      i += 1;
    } else {
      cp = ((c & 0x1F) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3F);
      i += 2;
    }
    utf16.push_back(static_cast<char>(cp & 0xFF));
    utf16.push_back(static_cast<char>(cp >> 8));
  }
  auto r = reg::load_reg_text(utf16, "v5.reg");
  EXPECT_TRUE(r.errors.empty()) << r.errors.front();
  EXPECT_EQ(reg::default_value("HKEY_CLASSES_ROOT\\.über"), "Überdatei");
  EXPECT_EQ(reg::default_value("HKEY_CLASSES_ROOT\\x"), "%1");
}

TEST_F(Registry, SyntaxErrorsAreReportedByLineAndTheRestLoads) {
  auto r = reg::load_reg_text(
      "REGEDIT4\n"
      "@=\"outside\"\n"
      "[HKEY_CLASSES_ROOT\\.a]\n"
      "@=\"unterminated\n"
      "garbage line\n"
      "[HKEY_CLASSES_ROOT\\.b]\n"
      "@=\"fine\"\n"
      "[HKEY_CLASSES_ROOT\\.c\n",
      "bad.reg");
  ASSERT_EQ(r.errors.size(), 4u);
  EXPECT_EQ(r.errors[0].rfind("bad.reg:2:", 0), 0u) << r.errors[0];
  EXPECT_EQ(r.errors[1].rfind("bad.reg:4:", 0), 0u) << r.errors[1];
  EXPECT_EQ(r.errors[2].rfind("bad.reg:5:", 0), 0u) << r.errors[2];
  EXPECT_EQ(r.errors[3].rfind("bad.reg:8:", 0), 0u) << r.errors[3];
  EXPECT_EQ(reg::default_value("HKCR\\.b"), "fine");
  EXPECT_EQ(reg::default_value("HKCR\\.a"), std::nullopt);
}

TEST_F(Registry, LaterFilesWinAndDeletionsApply) {
  reg::load_reg_text("REGEDIT4\n[HKEY_CLASSES_ROOT\\.x]\n@=\"old\"\n[HKEY_CLASSES_ROOT\\.y]\n@=\"y\"\n");
  EXPECT_EQ(reg::default_value("HKCR\\.x"), "old");
  reg::load_reg_text("REGEDIT4\n[HKEY_CLASSES_ROOT\\.x]\n@=\"new\"\n");
  EXPECT_EQ(reg::default_value("HKCR\\.x"), "new");  // loading clears the cache
  EXPECT_EQ(reg::default_value("HKCR\\.y"), "y");
  reg::load_reg_text("REGEDIT4\n[HKEY_CLASSES_ROOT\\.z]\n@=\"z\"\n[-HKEY_CLASSES_ROOT\\.z]\n");
  EXPECT_EQ(reg::default_value("HKCR\\.z"), std::nullopt);
}

TEST_F(Registry, AnswersAreCached) {
  reg::load_reg_text("REGEDIT4\n[HKEY_CLASSES_ROOT\\.x]\n@=\"x\"\n");
  std::size_t before = reg::uncached_lookups();
  for (int i = 0; i < 5; ++i) {
    reg::default_value("HKCR\\.x");
    reg::default_value("HKCR\\.nothing");
  }
  EXPECT_EQ(reg::uncached_lookups() - before, 2u);
}

TEST_F(Registry, TheCacheKeepsTheLatestAnswersWithinItsBound) {
  // a host listing archive after archive asks about ever new extensions: the cache must not grow with them
  reg::load_reg_text("REGEDIT4\n[HKEY_CLASSES_ROOT\\.x]\n@=\"x\"\n");
  std::size_t before = reg::uncached_lookups();
  const std::size_t distinct = 3 * reg::cached_answers_limit;
  for (std::size_t i = 0; i < distinct; ++i) {
    EXPECT_EQ(reg::default_value("HKCR\\.x"), "x");  // used all along: stays cached
    reg::default_value("HKCR\\.ext" + std::to_string(i) + std::string(200, 'e'));
  }
  EXPECT_LE(reg::cached_answers(), reg::cached_answers_limit);
  EXPECT_EQ(reg::uncached_lookups() - before, distinct + 1);
  // the first of the distinct keys was dropped long ago and is asked again
  reg::default_value("HKCR\\.ext0" + std::string(200, 'e'));
  EXPECT_EQ(reg::uncached_lookups() - before, distinct + 2);
}

#ifdef __SANITIZE_ADDRESS__
constexpr double load_limit_seconds = 30.0;  // an unoptimised build with every access checked
#else
constexpr double load_limit_seconds = 3.0;
#endif

TEST_F(Registry, LongContinuedValuesAndManyDeletionsLoadInLinearTime) {
  // Both were quadratic: 20,000 continuation lines of one hex value, and 20,000 keys each deleted by its
  // own [-key] line (a subkey with them; a key sharing only a prefix of the name stays).
  std::string text = "REGEDIT4\n[HKEY_CLASSES_ROOT\\.big]\n\"data\"=hex:00,\\\n";
  for (int i = 0; i < 20000; ++i) text += "  41,42,43,44,45,46,47,48,\\\n";
  text += "  49\n@=\"big\"\n";
  for (int i = 0; i < 20000; ++i) text += "[HKEY_CLASSES_ROOT\\k" + std::to_string(i) + "]\n@=\"v\"\n";
  text += "[HKEY_CLASSES_ROOT\\k7\\sub]\n@=\"sub\"\n[HKEY_CLASSES_ROOT\\k7x]\n@=\"kept\"\n";
  for (int i = 0; i < 20000; ++i) text += "[-HKEY_CLASSES_ROOT\\k" + std::to_string(i) + "]\n";
  ASSERT_GT(text.size(), 1000000u);

  auto start = std::chrono::steady_clock::now();
  reg::load_result loaded = reg::load_reg_text(text);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, load_limit_seconds);  // the quadratic reader took 27 s here in the optimised build
  EXPECT_TRUE(loaded.errors.empty()) << loaded.errors.front();
  EXPECT_EQ(reg::default_value("HKCR\\.big"), "big");  // the line after the long value is read as its own
  EXPECT_EQ(reg::default_value("HKCR\\k7"), std::nullopt);
  EXPECT_EQ(reg::default_value("HKCR\\k7\\sub"), std::nullopt);
  EXPECT_EQ(reg::default_value("HKCR\\k19999"), std::nullopt);
  EXPECT_EQ(reg::default_value("HKCR\\k7x"), "kept");
}

TEST_F(Registry, ContentTypesAnswerClassesRoot) {
  reg::use_content_types(true);
  EXPECT_EQ(reg::default_value("HKEY_CLASSES_ROOT\\.txt"), "text/plain");
  auto description = reg::default_value("HKEY_CLASSES_ROOT\\text/plain");
  ASSERT_TRUE(description);
  EXPECT_FALSE(description->empty());
  EXPECT_EQ(reg::default_value("HKEY_CLASSES_ROOT\\.zzq"), std::nullopt);
  EXPECT_EQ(reg::default_value("HKEY_CLASSES_ROOT\\no/such-type"), std::nullopt);
  EXPECT_EQ(reg::default_value("HKEY_CLASSES_ROOT\\zzq_auto_file\\shell\\open\\command"), std::nullopt);
}

TEST_F(Registry, FileSourceAndUnreadableFile) {
  api32::testing::temp_dir dir;
  api32::testing::write_file(dir / "a.reg", "REGEDIT4\n[HKEY_CLASSES_ROOT\\.q]\n@=\"q\"\n");
  auto r = reg::load_reg_file(dir / "a.reg");
  EXPECT_TRUE(r.loaded);
  EXPECT_EQ(r.keys, 1u);
  EXPECT_EQ(reg::default_value("HKCR\\.q"), "q");
  auto missing = reg::load_reg_file(dir / "missing.reg");
  EXPECT_FALSE(missing.loaded);
  EXPECT_EQ(missing.errors.size(), 1u);
}
