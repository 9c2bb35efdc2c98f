// regress_test.cpp - the inputs of tests/fixtures/regress/, each through the code it once broke, with the
// outcome it must have now. One row per file; a file without a row fails, so none is forgotten.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "api32/win32/last_error.hpp"
#include "api32/win32/paths.hpp"
#include "api32/zip/uo_nv_ziplib.hpp"
#include "support/test_support.hpp"
#include "tools/rar/command_line.hpp"
#include "tools/rar/commands.hpp"
#include "tools/rar/exit_status.hpp"

namespace {

using api32::testing::temp_dir;

std::string folder() { return api32::testing::source_dir() + "/tests/fixtures/regress"; }

// Peak virtual memory of this process (kB), or nullopt where it says nothing (the address sanitizer
// reserves terabytes of shadow up front).
std::optional<long> vm_peak_kib() {
#if defined(__SANITIZE_ADDRESS__)
  return std::nullopt;
#else
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmPeak:", 0) == 0) return std::stol(line.substr(7));
  return std::nullopt;
#endif
}

// Input: options byte, length (LE 32), zlib data. Damaged data under a large length: refused, and never
// more than a few MiB of address space taken for it.
void uncompress_reserve_for_declared_length(const std::string& bytes) {
  ASSERT_GT(bytes.size(), 5u);
  std::uint32_t length = 0;
  std::memcpy(&length, bytes.data() + 1, 4);
  ASSERT_GT(length, 600u << 20);
  api32::testing::recorded_boxes boxes;
  api32::uo_nv_ziplib zl;
  const api32::blob source(bytes.begin() + 5, bytes.end());
  std::optional<api32::blob> out;
  const auto peak_before = vm_peak_kib();
  EXPECT_FALSE(zl.of_uncompress(source, length, out));
  EXPECT_FALSE(out);
  if (peak_before) {
    EXPECT_LT(*vm_peak_kib() - *peak_before, 64 * 1024) << "kB of address space for 13 bytes";
  }
}

void paths_long_path_prefix_alone(const std::string& bytes) {
  // the fuzz target's first byte chooses its mode; the path follows
  api32::win32::SetLastError(0);
  EXPECT_EQ(api32::win32::to_native_path(bytes.substr(1)), std::nullopt);
  EXPECT_EQ(api32::win32::GetLastError(), api32::win32::ERROR_PATH_NOT_FOUND);
}

void rar_extract_zip_size_lie_fills_disk(const std::string& bytes) {
  temp_dir dir;
  api32::testing::write_file(dir / "in.zip", bytes);
  rartool::options opt;
  opt.command = 'x';
  opt.archive = dir / "in.zip";
  opt.masks = {"*"};
  opt.destination = dir.windows("out") + "\\";
  rartool::status st(true);
  rartool::run_extract(opt, st);
  EXPECT_EQ(st.code(), rartool::exit_code::fatal);
  std::uintmax_t total = 0;
  std::error_code error;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir / "out", error))
    if (e.is_regular_file()) total += e.file_size();
  EXPECT_EQ(total, 0u) << "the entry is cut short: nothing of it is extracted";
}

const std::map<std::string, std::function<void(const std::string&)>>& rows() {
  static const std::map<std::string, std::function<void(const std::string&)>> table = {
      {"uncompress-reserve-for-declared-length", uncompress_reserve_for_declared_length},
      {"paths-long-path-prefix-alone", paths_long_path_prefix_alone},
      {"rar_extract-zip-size-lie-fills-disk", rar_extract_zip_size_lie_fills_disk},
  };
  return table;
}

TEST(Regressions, EveryFileHasItsCheckAndPassesIt) {
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(folder())) {
    const std::string name = e.path().filename().string();
    if (name == "README.md") continue;
    ++files;
    SCOPED_TRACE(name);
    auto row = rows().find(name);
    ASSERT_NE(row, rows().end()) << "a regression file without a check in regress_test.cpp";
    row->second(api32::testing::read_file(e.path().string()));
  }
  EXPECT_EQ(files, static_cast<int>(rows().size())) << "a check whose file is missing";
}

}  // namespace
