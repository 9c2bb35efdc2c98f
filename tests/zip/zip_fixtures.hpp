// zip_fixtures.hpp - the archives the zip tests read, made at start-up by independent tools, and a spy on
// the reads of an open entry.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "api32/zip/uo_nv_ziplib.hpp"
#include "support/test_support.hpp"

namespace ziptest {

/// The folder of archives made by make_fixtures.py (Python's zipfile and hand-made hostile archives) and by
/// Info-ZIP zip (the infozip-*.zip files), made once per test program.
const api32::testing::temp_dir& fixtures();
/// The Windows path of a fixture archive.
std::string archive(const std::string& name);
/// The native path of a fixture: an archive of other projects kept in tests/fixtures/zip/ when `name` has a
/// folder ("go/zip64.zip"), else one that make_fixtures.py made.
std::string native_fixture(const std::string& name);
/// The Windows form of a native path.
std::string windows(const std::string& native_path);

/// The bytes of the deterministic 20000-byte file the fixtures hold as big.bin and a.txt.
std::string pattern(std::size_t n);
/// Compares byte strings, reporting their lengths and the first difference rather than the bytes.
::testing::AssertionResult same_bytes(const std::string& actual, const std::string& expected);

/// Every read of an open entry (unzreadcurrentfile) while a spy is alive: the length asked for and the result.
struct read_call {
  unsigned asked;
  int result;
  friend bool operator==(const read_call&, const read_call&) = default;
};
class read_spy {
public:
  read_spy();
  ~read_spy();
  std::vector<read_call> calls() const;
};

/// Base of the zip tests: a deterministic registry (.txt is "Text Document", .zzq unknown), recorded message
/// boxes, and a handle-table check that every archive a test opened was closed.
class zip_test : public ::testing::Test {
protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;
  void TearDown() override;

  api32::uo_nv_ziplib zl;
  api32::testing::recorded_boxes boxes;
  api32::testing::temp_dir out;

private:
  std::size_t open_archives_ = 0;
};

/// Opens an archive for a test and closes it when the test ends.
class open_archive {
public:
  open_archive(api32::uo_nv_ziplib& zl, const std::string& name);
  ~open_archive();
  std::uint32_t handle() const { return handle_; }
  operator std::uint32_t() const { return handle_; }  // NOLINT: used where a handle is expected

private:
  api32::uo_nv_ziplib& zl_;
  std::uint32_t handle_;
};

}  // namespace ziptest
