// ziplib_entry_verify.cpp - reading the current entry to its end without keeping its data: the archive test.
#include <ctime>
#include <vector>

#include "api32/host/archive_progress.hpp"
#include "api32/win32/handles.hpp"
#include "api32/zip/ziplib_entry_problem.hpp"
#include "api32/zip/ziplib_unzip_archive.hpp"

namespace api32::zipentry {
namespace {

constexpr unsigned block_size = 64 * 1024;

}  // namespace

entry_problem verify_current_entry(std::uint32_t unzfile, host::progress_meter* meter) {
  auto archive = win32::handles().get<unzipbinding::unzip_archive>(unzfile, win32::handle_kind::unzip);
  if (!archive || !archive->current_ok) return entry_problem::no_current_entry;
  archive->close_entry();
  std::uint64_t data_start = 0;
  archive->problem = archive->check_current(data_start);
  if (archive->problem != entry_problem::none) return archive->problem;
  archive->entry =
      std::make_unique<unzipbinding::entry_reader>(*archive->file, data_start, archive->current, archive->input);
  std::vector<std::uint8_t> block(block_size);
  int rc = 0;
  while ((rc = archive->entry->read(block.data(), block_size)) > 0)
    if (meter) meter->add_bytes(static_cast<std::uint64_t>(rc));
  const bool whole = archive->entry->at_end();
  const int closed = archive->close_entry();
  if (archive->problem != entry_problem::none) return archive->problem;
  // what the reader did not name itself
  if (rc == unzipbinding::unz_errno) return entry_problem::read_error;
  if (rc < 0) return entry_problem::damaged_data;
  if (!whole) return entry_problem::size_mismatch;
  if (closed != unzipbinding::unz_ok) return entry_problem::crc_mismatch;
  return entry_problem::none;
}

std::optional<std::string> current_entry_name(std::uint32_t unzfile) {
  auto archive = win32::handles().get<unzipbinding::unzip_archive>(unzfile, win32::handle_kind::unzip);
  if (!archive || !archive->current_ok) return std::nullopt;
  return archive->current.name;
}

std::optional<std::int64_t> current_entry_time(std::uint32_t unzfile) {
  auto archive = win32::handles().get<unzipbinding::unzip_archive>(unzfile, win32::handle_kind::unzip);
  if (!archive || !archive->current_ok) return std::nullopt;
  const std::uint32_t dos = archive->current.dosdate;
  std::tm local{};
  local.tm_year = static_cast<int>(80 + (dos >> 25));
  local.tm_mon = static_cast<int>((dos >> 21) & 15) - 1;
  local.tm_mday = static_cast<int>((dos >> 16) & 31);
  local.tm_hour = static_cast<int>((dos >> 11) & 31);
  local.tm_min = static_cast<int>((dos >> 5) & 63);
  local.tm_sec = static_cast<int>((dos & 31) * 2);
  local.tm_isdst = -1;
  std::time_t seconds = std::mktime(&local);
  if (seconds == static_cast<std::time_t>(-1)) return std::nullopt;
  return static_cast<std::int64_t>(seconds);
}

}  // namespace api32::zipentry
