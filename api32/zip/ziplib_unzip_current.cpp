// ziplib_unzip_current.cpp - the current entry of an archive open for reading: moving to a record, the checks
// before its data are read (encryption, method, local header, overlap), and why it cannot be read.
#include "api32/win32/handles.hpp"
#include "api32/zip/ziplib_unzip_archive.hpp"
#include "api32/zip/ziplib_unzip_bytes.hpp"

namespace api32::unzipbinding {
namespace {

constexpr unsigned encrypted_flag = 1;
constexpr unsigned data_descriptor_flag = 8;

// The entry's local header, checked against its central record as minizip checks it: the same method, the
// same name length and, unless a data descriptor follows the data, the same CRC and sizes (a size may be a
// Zip64 placeholder). `data_start` receives the file position of the data.
bool check_local_header(archive_file& file, const directory& dir, const central_entry& entry,
                        std::uint64_t& data_start) {
  std::uint64_t at = dir.prefix + entry.local_offset;
  if (at < entry.local_offset) return false;  // wraps around
  std::uint8_t h[local_header_size];
  if (!file.read_exact(at, h, sizeof h) || le32(h) != local_signature) return false;
  unsigned flag = le16(h + 6);
  if (le16(h + 8) != entry.method || le16(h + 26) != entry.name_size) return false;
  if ((flag & data_descriptor_flag) == 0) {
    std::uint32_t csize = le32(h + 18);
    std::uint32_t usize = le32(h + 22);
    if (le32(h + 14) != entry.crc) return false;
    if (csize != placeholder32 && csize != entry.compressed_size) return false;
    if (usize != placeholder32 && usize != entry.uncompressed_size) return false;
  }
  data_start = at + local_header_size + le16(h + 26) + le16(h + 28);
  return true;
}

}  // namespace

int unzip_archive::go_to(std::uint64_t position, std::uint64_t index) {
  problem = entry_problem::none;
  int rc = read_central_entry(*file, dir, position, current, scratch);
  current.index = index;
  current_ok = rc == unz_ok;
  return rc;
}

int unzip_archive::close_entry() {
  if (!entry) return unz_ok;
  int rc = entry->close();
  if (current_ok && entry->entry_position() == current.position && entry->problem() != entry_problem::none)
    problem = entry->problem();
  entry.reset();
  return rc;
}

entry_problem unzip_archive::check_current(std::uint64_t& data_start) {
  if (!current_ok) return entry_problem::no_current_entry;
  if ((current.flag & encrypted_flag) != 0) return entry_problem::encrypted;
  if (!method_supported(current.method)) return entry_problem::unsupported_method;
  if (!check_local_header(*file, dir, current, data_start)) return entry_problem::damaged_header;
  std::uint64_t local_size = data_start - (dir.prefix + current.local_offset);
  std::uint64_t data_offset = current.local_offset + local_size;
  if (current.compressed_size > UINT64_MAX - data_offset) return entry_problem::damaged_header;  // wraps around
  std::uint64_t data_end = data_offset + current.compressed_size;
  if (overlaps.overlaps(*file, dir, current.local_offset, data_end)) return entry_problem::overlapping;
  return entry_problem::none;
}

}  // namespace api32::unzipbinding

namespace api32::zipentry {

const char* describe(entry_problem problem) {
  switch (problem) {
    case entry_problem::none:
      return "no problem";
    case entry_problem::no_current_entry:
      return "no entry";
    case entry_problem::encrypted:
      return "encrypted (passwords are not supported)";
    case entry_problem::unsupported_method:
      return "compressed with a method this reader does not decode";
    case entry_problem::damaged_header:
      return "damaged local header";
    case entry_problem::overlapping:
      return "its data overlap another entry's (a zip bomb)";
    case entry_problem::read_error:
      return "the archive cannot be read there or ends inside the entry";
    case entry_problem::damaged_data:
      return "damaged compressed data";
    case entry_problem::too_much_memory:
      return "decoding it would take more memory than allowed";
    case entry_problem::size_mismatch:
      return "the data end before the entry's declared size";
    case entry_problem::crc_mismatch:
      return "CRC mismatch";
  }
  return "unknown problem";
}

entry_problem current_entry_problem(std::uint32_t unzfile) {
  auto archive = win32::handles().get<unzipbinding::unzip_archive>(unzfile, win32::handle_kind::unzip);
  if (!archive || !archive->current_ok) return entry_problem::no_current_entry;
  if (archive->entry && archive->entry->entry_position() == archive->current.position &&
      archive->entry->problem() != entry_problem::none)
    return archive->entry->problem();
  if (archive->problem != entry_problem::none) return archive->problem;
  if (archive->entry && archive->entry->entry_position() == archive->current.position) return entry_problem::none;
  std::uint64_t data_start = 0;
  return archive->check_current(data_start);
}

std::optional<std::uint64_t> current_entry_size(std::uint32_t unzfile) {
  auto archive = win32::handles().get<unzipbinding::unzip_archive>(unzfile, win32::handle_kind::unzip);
  if (!archive || !archive->current_ok) return std::nullopt;
  return archive->current.uncompressed_size;
}

std::string extraction_failure(std::uint32_t unzfile) {
  auto archive = win32::handles().get<unzipbinding::unzip_archive>(unzfile, win32::handle_kind::unzip);
  return archive ? archive->extraction_failure : std::string("not an archive open for reading");
}

void note_extraction_failure(std::uint32_t unzfile, std::string reason) {
  if (auto archive = win32::handles().get<unzipbinding::unzip_archive>(unzfile, win32::handle_kind::unzip))
    archive->extraction_failure = std::move(reason);
}

}  // namespace api32::zipentry
