// The compression methods beyond deflate: bzip2 (12), LZMA (14), zstd (93) and xz (95), besides stored and
// deflate, all holding the same 300 KB (method-all.zip, made by make_fixtures.py with Python's bz2 and lzma
// modules and the zstd tool), and 7-Zip's archives. They stream in blocks like deflate, and fail like deflate: damaged
// or cut data, and data that ask for more memory than a decoder may take, are refused with their reason.
#include <gtest/gtest.h>

#include "api32/zip/ziplib_entry_problem.hpp"
#include "zip_fixtures.hpp"

using api32::blob;
using api32::zipentry::entry_problem;
using ziptest::open_archive;

namespace {

class ZipMethods : public ziptest::zip_test {};

const char* const method_entries[] = {"stored.bin", "deflate.bin", "bzip2.bin", "lzma.bin", "zstd.bin", "xz.bin"};

std::string method_data() { return api32::testing::read_file(ziptest::fixtures() / "method-data.bin"); }

}  // namespace

TEST_F(ZipMethods, EveryMethodExtractsByteForByteInFullBlocks) {
  const std::string expected = method_data();
  open_archive a(zl, "method-all.zip");
  for (const char* entry : method_entries) {
    SCOPED_TRACE(entry);
    ASSERT_TRUE(zl.of_extractfile(a, entry, out.windows(entry), out.windows() + "\\"));
    EXPECT_TRUE(ziptest::same_bytes(api32::testing::read_file(out / entry), expected));

    blob data;
    ziptest::read_spy spy;
    ASSERT_TRUE(zl.of_extractblob(a, entry, data));
    EXPECT_TRUE(ziptest::same_bytes(std::string(data.begin(), data.end()), expected));
    // every block full until the last: a decoder never hands back less than it could
    auto calls = spy.calls();
    ASSERT_EQ(calls.size(), expected.size() / 8192 + 2);
    for (std::size_t i = 0; i + 2 < calls.size(); ++i) EXPECT_EQ(calls[i], (ziptest::read_call{8192, 8192})) << i;
    EXPECT_EQ(calls[calls.size() - 2].result, static_cast<int>(expected.size() % 8192));
    EXPECT_EQ(calls.back().result, 0);
  }
}

TEST_F(ZipMethods, DamagedCutAndGreedyDataAreRefusedWithTheirReason) {
  struct refused {
    const char* archive;
    const char* entry;
    entry_problem problem;
  } rows[] = {
      // 16 bytes in the middle changed: decoders that check their data say so, the others leave it to the CRC
      {"method-damaged.zip", "stored.bin", entry_problem::crc_mismatch},
      {"method-damaged.zip", "deflate.bin", entry_problem::crc_mismatch},
      {"method-damaged.zip", "bzip2.bin", entry_problem::damaged_data},
      {"method-damaged.zip", "lzma.bin", entry_problem::damaged_data},
      {"method-damaged.zip", "zstd.bin", entry_problem::damaged_data},
      {"method-damaged.zip", "xz.bin", entry_problem::damaged_data},
      // the compressed data cut in half
      {"method-truncated.zip", "stored.bin", entry_problem::size_mismatch},
      {"method-truncated.zip", "deflate.bin", entry_problem::size_mismatch},
      {"method-truncated.zip", "bzip2.bin", entry_problem::size_mismatch},
      {"method-truncated.zip", "lzma.bin", entry_problem::size_mismatch},
      {"method-truncated.zip", "zstd.bin", entry_problem::size_mismatch},
      {"method-truncated.zip", "xz.bin", entry_problem::size_mismatch},
      // a 1.5 GiB xz dictionary and a 2 GiB zstd window for 960 bytes: refused before anything is allocated
      {"method-greedy.zip", "greedy.xz.bin", entry_problem::too_much_memory},
      {"method-greedy.zip", "greedy.zstd.bin", entry_problem::too_much_memory},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(std::string(r.archive) + " " + r.entry);
    open_archive a(zl, r.archive);
    EXPECT_FALSE(zl.of_extractfile(a, r.entry, out.windows("target.bin"), out.windows() + "\\"));
    EXPECT_FALSE(api32::testing::exists(out / "target.bin"));
    EXPECT_EQ(api32::zipentry::current_entry_problem(a), r.problem);
    blob data;
    EXPECT_FALSE(zl.of_extractblob(a, r.entry, data));
    EXPECT_EQ(api32::zipentry::current_entry_problem(a), r.problem);
  }
  open_archive a(zl, "method-greedy.zip");  // beside them, a modest entry reads
  blob data;
  EXPECT_TRUE(zl.of_extractblob(a, "modest.bin", data));
  EXPECT_EQ(api32::zipentry::current_entry_problem(a), entry_problem::none);
  EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(ZipMethods, SevenZipArchivesReadOrAreRefusedWithTheirReason) {
  // 7-Zip's zip archives of the same data, in the methods it writes (made here: no other test needs 7-Zip).
  // It writes LZMA with or without an end marker; Deflate64 and PPMd no reader here decodes.
  struct made {
    const char* options;
    entry_problem problem;
  } rows[] = {
      {"-mm=BZip2", entry_problem::none},
      {"-mm=LZMA", entry_problem::none},
      {"-mm=LZMA -meos=off", entry_problem::none},
      {"-mm=XZ", entry_problem::none},
      {"-mm=Deflate", entry_problem::none},
      {"-mm=Deflate64", entry_problem::unsupported_method},
      {"-mm=PPMd", entry_problem::unsupported_method},
      {"-psecret -mem=ZipCrypto", entry_problem::encrypted},
      {"-psecret -mem=AES256", entry_problem::encrypted},
  };
  const std::string expected = method_data();
  api32::testing::write_file(out / "data.bin", expected);
  for (const auto& r : rows) {
    SCOPED_TRACE(r.options);
    ASSERT_EQ(api32::testing::run("cd '" + out.path() + "' && rm -f 7zip.zip && 7zz a -tzip -bd " + r.options +
                                  " 7zip.zip data.bin >/dev/null"),
              0);
    std::uint32_t a = zl.of_unzopen(out.windows("7zip.zip"));
    ASSERT_NE(a, 0u);
    blob data;
    EXPECT_EQ(zl.of_extractblob(a, "data.bin", data), r.problem == entry_problem::none);
    EXPECT_EQ(api32::zipentry::current_entry_problem(a), r.problem);
    if (r.problem == entry_problem::none) {
      EXPECT_TRUE(ziptest::same_bytes(std::string(data.begin(), data.end()), expected));
    }
    zl.of_unzclose(a);
  }
  EXPECT_TRUE(boxes.boxes().empty());
}
