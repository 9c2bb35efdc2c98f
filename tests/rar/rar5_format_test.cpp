// rar5_format_test.cpp - the RAR 5 writer, block scanner, carry-over plan and entry index, over memory.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "rar_runner.hpp"
#include "tools/rar/archive_index.hpp"
#include "tools/rar/crc32.hpp"
#include "tools/rar/rar5_format.hpp"
#include "tools/rar/rar5_scan.hpp"
#include "tools/rar/rar5_writer.hpp"
#include "tools/rar/update_plan.hpp"

namespace rartool {
namespace {

rar5::writer::source from_text(const std::string& text) {
  auto pos = std::make_shared<std::size_t>(0);
  return [text, pos](std::uint8_t* buffer, std::size_t size) -> std::int64_t {
    std::size_t n = std::min(size, text.size() - *pos);
    std::memcpy(buffer, text.data() + *pos, n);
    *pos += n;
    return static_cast<std::int64_t>(n);
  };
}

rar5::entry_info file(const std::string& name, std::uint64_t size) {
  rar5::entry_info e;
  e.name = name;
  e.size = size;
  e.mode = 0644;
  e.mtime_sec = 1700000000;
  return e;
}

TEST(Rar5Format, VintsRoundTripAtTheirEdges) {
  for (std::uint64_t value : {0ull, 1ull, 127ull, 128ull, 16383ull, 16384ull, 0xffffffffull, ~0ull}) {
    bytes out;
    rar5::put_vint(out, value);
    EXPECT_EQ(out.size(), rar5::vint_size(value));
    rar5::field_reader r(out.data(), out.size());
    EXPECT_EQ(r.vint(), value);
  }
  const std::uint8_t padded[] = {0x80, 0x80, 0x01};  // leading 0x80 bytes pad a value, as writers may
  EXPECT_EQ(rar5::field_reader(padded, 3).vint(), 1u << 14);
  const std::uint8_t unterminated[] = {0x80, 0x80};
  EXPECT_FALSE(rar5::field_reader(unterminated, 2).vint());
  std::uint8_t too_long[11];
  std::memset(too_long, 0x80, sizeof too_long);
  EXPECT_FALSE(rar5::field_reader(too_long, sizeof too_long).vint());
}

TEST(Rar5Format, WrittenArchiveScansWithSizesCrcsAndNames) {
  memory_output out;
  rar5::writer w(out);
  ASSERT_TRUE(w.begin());
  auto folder = file("dir", 0);
  ASSERT_EQ(w.add_directory(folder), rar5::add_status::ok);
  ASSERT_EQ(w.add_file(file("dir/a.txt", 5), from_text("hello")), rar5::add_status::ok);
  ASSERT_EQ(w.add_file(file("empty", 0), from_text("")), rar5::add_status::ok);
  ASSERT_TRUE(w.finish());

  memory_input in(out.data());
  auto scan = rar5::scan(in);
  ASSERT_TRUE(scan.complete) << scan.problem;
  EXPECT_EQ(scan.end_offset, out.data().size());
  ASSERT_EQ(scan.blocks.size(), 5u);
  EXPECT_EQ(scan.blocks[0].type, rar5::head_main);
  EXPECT_TRUE(scan.blocks[1].directory());
  EXPECT_EQ(scan.blocks[2].name, "dir/a.txt");
  EXPECT_EQ(scan.blocks[2].data_size, 5u);
  EXPECT_EQ(scan.blocks[2].data_crc, crc32_of("hello"));
  EXPECT_EQ(scan.blocks[3].data_crc, 0u);
  EXPECT_EQ(scan.blocks[4].type, rar5::head_end);

  auto index = read_index(in);
  EXPECT_EQ(index.version, 5);
  ASSERT_EQ(index.entries.size(), 3u);
  EXPECT_EQ(index.entries[1].size, 5u);
}

TEST(Rar5Format, FailedSourcesLeaveNothingBehind) {
  memory_output out;
  rar5::writer w(out);
  ASSERT_TRUE(w.begin());
  const auto before = out.data();
  // the file grew, shrank, or failed while it was read: the output is cut back to where the entry began
  EXPECT_EQ(w.add_file(file("grew", 3), from_text("four")), rar5::add_status::size_changed);
  EXPECT_EQ(w.add_file(file("shrank", 9), from_text("four")), rar5::add_status::size_changed);
  EXPECT_EQ(w.add_file(file("broken", 4), [](std::uint8_t*, std::size_t) -> std::int64_t { return -1; }),
            rar5::add_status::read_error);
  EXPECT_EQ(out.data(), before);
}

TEST(Rar5Format, CheckedNamesRefuseWhatCouldEscapeADestination) {
  for (const char* name : {"../x", "a/../../x", "/etc/x", "C:/x", "a//b", "./a", "a\\b", "", "a\nb", "\xff\xfe"}) {
    EXPECT_FALSE(rar5::is_safe_entry_name(name)) << name;
    memory_output out;
    rar5::writer w(out);
    EXPECT_EQ(w.add_file(file(name, 1), from_text("x")), rar5::add_status::bad_name) << name;
    EXPECT_EQ(out.data().size(), 0u);
  }
  EXPECT_TRUE(rar5::is_safe_entry_name("a/b c/..d/e..txt"));
  EXPECT_TRUE(rar5::is_safe_entry_name("表だよ/x"));
  // the unchecked writer (for crafting hostile archives in tests) writes them as given
  memory_output out;
  rar5::writer w(out, rar5::name_policy::unchecked);
  EXPECT_EQ(w.add_file(file("../x", 1), from_text("x")), rar5::add_status::ok);
}

TEST(Rar5Format, ScanStopsAtDamage) {
  memory_output out;
  rar5::writer w(out);
  ASSERT_TRUE(w.begin());
  ASSERT_EQ(w.add_file(file("a.txt", 5), from_text("hello")), rar5::add_status::ok);
  ASSERT_TRUE(w.finish());
  const bytes good = out.data();
  const std::size_t file_block = sizeof rar5::signature + rar5::main_header().size();

  bytes flipped = good;
  flipped[file_block + 8] ^= 0x01;  // a byte inside the file header
  auto damaged = rar5::scan(memory_input(flipped));
  EXPECT_FALSE(damaged.complete);
  EXPECT_EQ(damaged.blocks.size(), 1u);

  bytes cut(good.begin(), good.end() - static_cast<std::ptrdiff_t>(rar5::end_header().size() + 2));
  auto truncated = rar5::scan(memory_input(cut));
  EXPECT_FALSE(truncated.complete);
  ASSERT_EQ(truncated.blocks.size(), 2u);  // the file whose data runs short is still listed
  EXPECT_EQ(truncated.blocks[1].name, "a.txt");
}

// An archive made of the given blocks (each from its fields), with the signature in front.
bytes archive_of(const std::vector<bytes>& field_lists) {
  bytes out(std::begin(rar5::signature), std::end(rar5::signature));
  for (const auto& fields : field_lists) {
    bytes block = rar5::seal(fields);
    out.insert(out.end(), block.begin(), block.end());
  }
  return out;
}

bytes main_fields(std::uint64_t archive_flags) {
  bytes f;
  rar5::put_vint(f, rar5::head_main);
  rar5::put_vint(f, 0);
  rar5::put_vint(f, archive_flags);
  return f;
}

bytes end_fields(std::uint64_t end_flags = 0) {
  bytes f;
  rar5::put_vint(f, rar5::head_end);
  rar5::put_vint(f, 0);
  rar5::put_vint(f, end_flags);
  return f;
}

// A file or service header without data: `extra` is its extra area.
bytes entry_fields(std::uint64_t type, const std::string& name, std::uint64_t header_flags = 0,
                   std::uint64_t compression = 0, const bytes& extra = {}) {
  bytes f;
  rar5::put_vint(f, type);
  rar5::put_vint(f, header_flags | rar5::hfl_data | (extra.empty() ? 0 : rar5::hfl_extra));
  if (!extra.empty()) rar5::put_vint(f, extra.size());
  rar5::put_vint(f, 0);  // data size
  rar5::put_vint(f, 0);  // file flags
  rar5::put_vint(f, 0);  // unpacked size
  rar5::put_vint(f, 0644);
  rar5::put_vint(f, compression);
  rar5::put_vint(f, rar5::host_unix);
  rar5::put_vint(f, name.size());
  f.insert(f.end(), name.begin(), name.end());
  f.insert(f.end(), extra.begin(), extra.end());
  return f;
}

TEST(Rar5Update, RefusesArchivesItCannotCarryOverFaithfully) {
  const bytes crypt_record = {0x02, rar5::fhextra_crypt, 0x00};
  struct row {
    const char* what;
    bytes archive;
  };
  const row rows[] = {
      {"volume", archive_of({main_fields(rar5::mhfl_volume), end_fields()})},
      {"solid", archive_of({main_fields(rar5::mhfl_solid), end_fields()})},
      {"locked", archive_of({main_fields(rar5::mhfl_locked), end_fields()})},
      {"recovery record", archive_of({main_fields(rar5::mhfl_recovery), end_fields()})},
      {"solid entry",
       archive_of({main_fields(0), entry_fields(rar5::head_file, "a", 0, rar5::ci_solid), end_fields()})},
      {"split entry",
       archive_of({main_fields(0), entry_fields(rar5::head_file, "a", rar5::hfl_split_after), end_fields()})},
      {"encrypted entry",
       archive_of({main_fields(0), entry_fields(rar5::head_file, "a", 0, 0, crypt_record), end_fields()})},
      {"more volumes", archive_of({main_fields(0), end_fields(rar5::ehfl_next_volume)})},
      {"two main headers", archive_of({main_fields(0), main_fields(0), end_fields()})},
      {"no end", archive_of({main_fields(0), entry_fields(rar5::head_file, "a")})},
      {"recovery service", archive_of({main_fields(0), entry_fields(rar5::head_service, "RR"), end_fields()})},
  };
  for (const auto& r : rows) {
    auto plan = plan_update(rar5::scan(memory_input(r.archive)), r.archive.size());
    EXPECT_FALSE(plan.refusal.empty()) << r.what;
  }
  bytes trailing = archive_of({main_fields(0), end_fields()});
  trailing.push_back(0);
  EXPECT_FALSE(plan_update(rar5::scan(memory_input(trailing)), trailing.size()).refusal.empty());
}

TEST(Rar5Update, GroupsFilesWithTheirServiceBlocksAndDropsTheQuickOpenCache) {
  bytes a = archive_of({main_fields(0), entry_fields(rar5::head_service, "CMT"), entry_fields(rar5::head_file, "a"),
                        entry_fields(rar5::head_service, "STM", rar5::hfl_child), entry_fields(rar5::head_file, "b"),
                        entry_fields(rar5::head_service, "QO"), end_fields()});
  auto plan = plan_update(rar5::scan(memory_input(a)), a.size());
  ASSERT_TRUE(plan.refusal.empty()) << plan.refusal;
  ASSERT_EQ(plan.groups.size(), 3u);
  EXPECT_FALSE(plan.groups[0].file);  // the archive comment stands alone
  EXPECT_EQ(plan.groups[1].name, "a");
  EXPECT_EQ(plan.groups[1].blocks, (std::vector<std::size_t>{2, 3}));
  EXPECT_EQ(plan.groups[2].name, "b");
  EXPECT_EQ(plan.groups[2].blocks, (std::vector<std::size_t>{4}));
}

TEST(Rar5Update, KeepsMainHeaderRecordsButNotTheLocator) {
  bytes extra = {0x03, 0x01, 0x00, 0x00,   // locator record (type 1)
                 0x03, 0x02, 0x00, 0x07};  // metadata record (type 2)
  EXPECT_EQ(rar5::main_extra_without_locator(extra), (bytes{0x03, 0x02, 0x00, 0x07}));
  EXPECT_FALSE(rar5::main_extra_without_locator(bytes{0x09, 0x01}));
}

TEST(RarIndex, ReadsTheHeadersOfRealArchives) {
  using testing::file_bytes;
  using testing::fixture;
  struct row {
    const char* name;
    int version;
    std::size_t entries;
    std::size_t encrypted;
  };
  const row rows[] = {
      {"test_read_format_rar.rar", 4, 5, 0},         {"test_read_format_rar4_encrypted.rar", 4, 4, 2},
      {"test_read_format_rar_unicode.rar", 4, 6, 0}, {"test_read_format_rar5_stored.rar", 5, 1, 0},
      {"test_read_format_rar5_solid.rar", 5, 7, 0},  {"test_read_format_rar5_unicode.rar", 5, 3, 0},
  };
  for (const auto& r : rows) {
    const bytes data = file_bytes(fixture(r.name));
    auto index = read_index(memory_input(data));
    EXPECT_EQ(index.version, r.version) << r.name;
    EXPECT_TRUE(index.complete) << r.name;
    EXPECT_EQ(index.entries.size(), r.entries) << r.name;
    std::size_t encrypted = 0;
    for (const auto& e : index.entries) encrypted += e.encrypted;
    EXPECT_EQ(encrypted, r.encrypted) << r.name;
  }
  const bytes stored = file_bytes(fixture("test_read_format_rar5_stored.rar"));
  auto index = read_index(memory_input(stored));
  ASSERT_EQ(index.entries.size(), 1u);
  EXPECT_EQ(index.entries[0].name, std::optional<std::string>("helloworld.txt"));
  EXPECT_EQ(index.entries[0].crc, crc32_of("hello libarchive test suite!\n"));
}

}  // namespace
}  // namespace rartool

namespace rartool {
namespace {

TEST(RarCrc32, AgreesWithTheReferenceAtEveryLengthAndAlignment) {
  std::vector<std::uint8_t> data(5000);
  std::uint32_t seed = 12345;
  for (auto& b : data) {
    seed = seed * 1103515245u + 12345u;
    b = static_cast<std::uint8_t>(seed >> 16);
  }
  // the bitwise definition: reflected polynomial 0xEDB88320, inverted before and after
  auto reference = [](std::uint32_t crc, const std::uint8_t* p, std::size_t n) {
    crc = ~crc;
    for (std::size_t i = 0; i < n; ++i) {
      crc ^= p[i];
      for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
  };
  EXPECT_EQ(crc32_of("123456789"), 0xCBF43926u);
  for (std::size_t offset : {0, 1, 7, 15}) {
    for (std::size_t n : {0, 1, 15, 16, 63, 64, 65, 127, 128, 200, 1024, 4096, 4977}) {
      EXPECT_EQ(crc32_update(0, data.data() + offset, n), reference(0, data.data() + offset, n)) << offset << "+" << n;
    }
  }
  // continuing a CRC over pieces gives the CRC of the whole
  std::uint32_t pieces = 0;
  for (std::size_t at = 0; at < 4096; at += 100)
    pieces = crc32_update(pieces, data.data() + at, std::min<std::size_t>(100, 4096 - at));
  EXPECT_EQ(pieces, reference(0, data.data(), 4096));
}

}  // namespace
}  // namespace rartool
