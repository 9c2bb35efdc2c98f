// ziplib_unzip_central.cpp - the central directory's records, with the sizes, local header offset and disk
// of their Zip64 extra fields where the record holds placeholders.
#include <algorithm>

#include "api32/zip/ziplib_unzip_archive.hpp"
#include "api32/zip/ziplib_unzip_bytes.hpp"

namespace api32::unzipbinding {
namespace {

constexpr std::size_t fixed_size = 46;
constexpr std::uint32_t zip64_extra_id = 0x0001;

// Takes the values of the Zip64 extra block, in their order, for the fields that hold placeholders; a field
// the block does not cover keeps its placeholder.
void apply_zip64_extra(const std::uint8_t* extra, std::size_t size, central_entry& entry) {
  bool usize = entry.uncompressed_size == placeholder32;
  bool csize = entry.compressed_size == placeholder32;
  bool offset = entry.local_offset == placeholder32;
  bool disk = entry.disk_start == placeholder16;
  for (std::size_t at = 0; at + 4 <= size;) {  // blocks of: id (2 bytes), length (2 bytes), data
    std::uint32_t id = le16(extra + at);
    std::size_t end = at + 4 + le16(extra + at + 2);
    if (end > size) return;
    if (id == zip64_extra_id) {
      std::size_t field = at + 4;
      auto next64 = [&](std::uint64_t& value) {
        if (field + 8 > end) return;
        value = le64(extra + field);
        field += 8;
      };
      if (usize) next64(entry.uncompressed_size);
      if (csize) next64(entry.compressed_size);
      if (offset) next64(entry.local_offset);
      if (disk && field + 4 <= end) entry.disk_start = le32(extra + field);
      return;
    }
    at = end;
  }
}

}  // namespace

int read_central_entry(archive_file& file, const directory& dir, std::uint64_t position, central_entry& entry,
                       std::vector<std::uint8_t>& scratch) {
  if (position >= dir.end || dir.end - position < fixed_size) return unz_badzipfile;
  std::uint8_t r[fixed_size];
  if (!file.read_exact(position, r, fixed_size)) return unz_errno;
  if (le32(r) != central_signature) return unz_badzipfile;
  entry.position = position;
  entry.version = static_cast<std::uint16_t>(le16(r + 4));
  entry.version_needed = static_cast<std::uint16_t>(le16(r + 6));
  entry.flag = static_cast<std::uint16_t>(le16(r + 8));
  entry.method = static_cast<std::uint16_t>(le16(r + 10));
  entry.dosdate = le32(r + 12);
  entry.crc = le32(r + 16);
  entry.compressed_size = le32(r + 20);
  entry.uncompressed_size = le32(r + 24);
  entry.name_size = static_cast<std::uint16_t>(le16(r + 28));
  entry.extra_size = static_cast<std::uint16_t>(le16(r + 30));
  entry.comment_size = static_cast<std::uint16_t>(le16(r + 32));
  entry.disk_start = le16(r + 34);
  entry.internal_fa = static_cast<std::uint16_t>(le16(r + 36));
  entry.external_fa = le32(r + 38);
  entry.local_offset = le32(r + 42);
  if (entry.record_size() > dir.end - position) return unz_badzipfile;

  entry.name.resize(entry.name_size);
  if (!file.read_exact(position + fixed_size, entry.name.data(), entry.name_size)) return unz_errno;
  if (entry.extra_size > 0 && (entry.uncompressed_size == placeholder32 || entry.compressed_size == placeholder32 ||
                               entry.local_offset == placeholder32 || entry.disk_start == placeholder16)) {
    scratch.resize(entry.extra_size);
    if (!file.read_exact(position + fixed_size + entry.name_size, scratch.data(), scratch.size())) return unz_errno;
    apply_zip64_extra(scratch.data(), scratch.size(), entry);
  }
  return unz_ok;
}

bool read_extra_and_comment(archive_file& file, const central_entry& entry, std::size_t extra_limit, std::string& extra,
                            std::size_t comment_limit, std::string& comment) {
  std::uint64_t at = entry.position + fixed_size + entry.name_size;
  extra.resize(std::min<std::size_t>(entry.extra_size, extra_limit));
  comment.resize(std::min<std::size_t>(entry.comment_size, comment_limit));
  return file.read_exact(at, extra.data(), extra.size()) &&
         file.read_exact(at + entry.extra_size, comment.data(), comment.size());
}

}  // namespace api32::unzipbinding
