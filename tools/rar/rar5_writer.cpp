// rar5_writer.cpp - building RAR 5 headers and streaming stored entries.
#include "tools/rar/rar5_writer.hpp"

#include <sys/stat.h>

#include "api32/runtime/text.hpp"
#include "tools/rar/crc32.hpp"
#include "tools/rar/rar5_format.hpp"

namespace rartool::rar5 {
namespace {

// Seconds between 1601-01-01 (Windows FILETIME epoch) and 1970-01-01.
constexpr std::int64_t filetime_epoch_offset = 11644473600;

std::uint64_t to_filetime(std::int64_t sec, std::uint32_t nsec) {
  if (sec < -filetime_epoch_offset) return 0;
  return static_cast<std::uint64_t>(sec + filetime_epoch_offset) * 10000000u + nsec / 100;
}

}  // namespace

bytes seal(const bytes& fields) {
  bytes sized;
  put_vint(sized, fields.size());
  sized.insert(sized.end(), fields.begin(), fields.end());
  bytes block;
  put_u32(block, crc32_of(sized.data(), sized.size()));
  block.insert(block.end(), sized.begin(), sized.end());
  return block;
}

bool is_safe_entry_name(std::string_view name) {
  if (name.empty() || name.size() > max_name_size || !api32::text::is_valid_utf8(name)) return false;
  if (name.front() == '/') return false;
  if (name.size() >= 2 && name[1] == ':') return false;  // a drive letter
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find('/', start);
    if (end == std::string_view::npos) end = name.size();
    std::string_view part = name.substr(start, end - start);
    if (part.empty() || part == "." || part == "..") return false;
    start = end + 1;
  }
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == '\\') return false;
  }
  return true;
}

bytes file_header(const entry_info& entry, std::uint32_t data_crc) {
  bytes extra;  // file time record: mtime as a Windows FILETIME
  bytes record;
  put_vint(record, fhextra_time);
  put_vint(record, time_mtime);
  put_u64(record, to_filetime(entry.mtime_sec, entry.mtime_nsec));
  put_vint(extra, record.size());
  extra.insert(extra.end(), record.begin(), record.end());

  // the data size is written even when it is 0: readers expect it in every file header
  bytes fields;
  put_vint(fields, head_file);
  put_vint(fields, hfl_extra | hfl_data);
  put_vint(fields, extra.size());
  put_vint(fields, entry.directory ? 0 : entry.size);
  put_vint(fields, entry.directory ? fhfl_directory : fhfl_crc32);
  put_vint(fields, entry.directory ? 0 : entry.size);
  put_vint(fields, (entry.mode & 07777) | (entry.directory ? S_IFDIR : S_IFREG));
  if (!entry.directory) put_u32(fields, data_crc);
  put_vint(fields, 0);  // compression: version 0, store
  put_vint(fields, host_unix);
  put_vint(fields, entry.name.size());
  fields.insert(fields.end(), entry.name.begin(), entry.name.end());
  fields.insert(fields.end(), extra.begin(), extra.end());
  return seal(fields);
}

bytes main_header(const bytes& extra) {
  bytes fields;
  put_vint(fields, head_main);
  put_vint(fields, extra.empty() ? 0 : hfl_extra);
  if (!extra.empty()) put_vint(fields, extra.size());
  put_vint(fields, 0);  // archive flags: one volume, not solid
  fields.insert(fields.end(), extra.begin(), extra.end());
  return seal(fields);
}

bytes end_header() {
  bytes fields;
  put_vint(fields, head_end);
  put_vint(fields, 0);
  put_vint(fields, 0);  // last volume
  return seal(fields);
}

writer::writer(output& out, name_policy policy) : out_(out), policy_(policy) {}

bool writer::begin(const bytes& main_extra) {
  return out_.write(signature, sizeof signature) && out_.write(main_header(main_extra));
}

bool writer::write_raw(const std::uint8_t* data, std::size_t size) { return out_.write(data, size); }

add_status writer::add_directory(const entry_info& entry) {
  if (policy_ == name_policy::checked && !is_safe_entry_name(entry.name)) return add_status::bad_name;
  entry_info folder = entry;
  folder.directory = true;
  folder.size = 0;
  return out_.write(file_header(folder, 0)) ? add_status::ok : add_status::write_error;
}

add_status writer::add_file(const entry_info& entry, const source& read) {
  if (policy_ == name_policy::checked && !is_safe_entry_name(entry.name)) return add_status::bad_name;
  const std::uint64_t start = out_.position();
  const bytes placeholder = file_header(entry, 0);
  if (!out_.write(placeholder)) return add_status::write_error;
  auto fail = [&](add_status status) {
    if (status != add_status::write_error && !out_.truncate(start)) return add_status::write_error;
    return status;
  };
  if (buffer_.empty()) buffer_.resize(1 << 20);
  std::uint32_t crc = 0;
  std::uint64_t total = 0;
  while (true) {
    std::int64_t got = read(buffer_.data(), buffer_.size());
    if (got < 0) return fail(add_status::read_error);
    if (got == 0) break;
    const auto n = static_cast<std::size_t>(got);
    if (n > entry.size - total) return fail(add_status::size_changed);
    crc = crc32_update(crc, buffer_.data(), n);
    if (!out_.write(buffer_.data(), n)) return add_status::write_error;
    total += n;
  }
  if (total != entry.size) return fail(add_status::size_changed);
  const bytes header = file_header(entry, crc);
  if (!out_.write_at(start, header.data(), header.size())) return add_status::write_error;
  return add_status::ok;
}

bool writer::finish() { return out_.write(end_header()) && out_.flush(); }

}  // namespace rartool::rar5
