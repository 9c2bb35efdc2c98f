// rar5_scan.cpp - reading RAR 5 block headers.
#include "tools/rar/rar5_scan.hpp"

#include <algorithm>
#include <cstring>

#include "tools/rar/crc32.hpp"
#include "tools/rar/rar5_format.hpp"

namespace rartool::rar5 {
namespace {

bool parse_file_extra(field_reader& extra, block& b) {
  while (extra.remaining() > 0) {
    auto size = extra.vint();
    if (!size || *size == 0 || *size > extra.remaining()) return false;
    std::size_t record_end = extra.offset() + static_cast<std::size_t>(*size);
    auto type = extra.vint();
    if (!type || extra.offset() > record_end) return false;
    if (*type == fhextra_crypt) b.encrypted = true;
    if (*type == fhextra_redirection) b.redirection = true;
    if (!extra.skip(record_end - extra.offset())) return false;
  }
  return true;
}

// Parses the fields of one header (from its type on); false when they do not fit the header.
bool parse_header(const std::uint8_t* data, std::size_t size, block& b) {
  field_reader r(data, size);
  auto type = r.vint();
  auto flags = r.vint();
  if (!type || !flags) return false;
  b.type = *type;
  b.flags = *flags;
  std::uint64_t extra_size = 0;
  if (b.flags & hfl_extra) {
    auto v = r.vint();
    if (!v) return false;
    extra_size = *v;
  }
  if (b.flags & hfl_data) {
    auto v = r.vint();
    if (!v) return false;
    b.data_size = *v;
  }
  if (extra_size > r.remaining()) return false;
  const std::size_t extra_start = size - static_cast<std::size_t>(extra_size);
  field_reader fields(data + r.offset(), extra_start - r.offset());
  field_reader extra(data + extra_start, static_cast<std::size_t>(extra_size));

  if (b.type == head_main) {
    auto archive_flags = fields.vint();
    if (!archive_flags) return false;
    b.archive_flags = *archive_flags;
    if (b.archive_flags & mhfl_volume_number && !fields.vint()) return false;
    b.main_extra.assign(data + extra_start, data + size);
  } else if (b.type == head_file || b.type == head_service) {
    auto file_flags = fields.vint();
    auto unpacked = fields.vint();
    auto attributes = fields.vint();
    if (!file_flags || !unpacked || !attributes) return false;
    b.file_flags = *file_flags;
    b.unpacked_size = *unpacked;
    b.attributes = *attributes;
    if (b.file_flags & fhfl_unix_time && !fields.u32()) return false;
    if (b.file_flags & fhfl_crc32) {
      auto crc = fields.u32();
      if (!crc) return false;
      b.data_crc = *crc;
    }
    auto compression = fields.vint();
    auto host = fields.vint();
    auto name_size = fields.vint();
    if (!compression || !host || !name_size || *name_size > fields.remaining()) return false;
    b.compression = *compression;
    b.host_os = *host;
    b.name = std::string(*fields.text(static_cast<std::size_t>(*name_size)));
    if (!parse_file_extra(extra, b)) return false;
  } else if (b.type == head_end) {
    auto end_flags = fields.vint();
    if (!end_flags) return false;
    b.end_flags = *end_flags;
  }
  return fields.ok();
}

}  // namespace

bool has_signature(const input& in) {
  std::uint8_t head[sizeof signature];
  return in.read_at(0, head, sizeof head) && std::memcmp(head, signature, sizeof head) == 0;
}

scan_result scan(const input& in) {
  scan_result result;
  std::uint64_t pos = sizeof signature;
  const std::uint64_t total = in.size();
  bytes header;
  while (true) {
    result.end_offset = pos;
    if (pos >= total) {
      result.problem = "the archive ends without an end-of-archive block";
      return result;
    }
    // CRC32 and the size vint (at most max_vint_size bytes, fewer near the end of the file)
    std::uint8_t prefix[4 + max_vint_size];
    std::size_t prefix_size = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof prefix, total - pos));
    if (prefix_size < 5 || !in.read_at(pos, prefix, prefix_size)) {
      result.problem = "truncated block header";
      return result;
    }
    field_reader size_reader(prefix + 4, prefix_size - 4);
    auto header_size = size_reader.vint();
    if (!header_size || *header_size == 0 || *header_size > max_header_size) {
      result.problem = "damaged block header";
      return result;
    }
    const std::size_t size_field = size_reader.offset();
    const std::uint64_t header_bytes = 4 + size_field + *header_size;
    if (header_bytes > total - pos) {
      result.problem = "truncated block header";
      return result;
    }
    header.resize(static_cast<std::size_t>(header_bytes));
    if (!in.read_at(pos, header.data(), header.size())) {
      result.problem = "unreadable block header";
      return result;
    }
    std::uint32_t stored_crc = static_cast<std::uint32_t>(header[0]) | static_cast<std::uint32_t>(header[1]) << 8 |
                               static_cast<std::uint32_t>(header[2]) << 16 |
                               static_cast<std::uint32_t>(header[3]) << 24;
    if (crc32_of(header.data() + 4, header.size() - 4) != stored_crc) {
      result.problem = "block header checksum error";
      return result;
    }
    block b;
    b.offset = pos;
    b.header_bytes = header_bytes;
    if (!parse_header(header.data() + 4 + size_field, static_cast<std::size_t>(*header_size), b)) {
      result.problem = "damaged block header";
      return result;
    }
    if (b.data_size > total - pos - header_bytes) {
      // kept, so that what its header promises can still be checked against what a decoder delivers
      result.blocks.push_back(std::move(b));
      result.end_offset = total;
      result.problem = "truncated data area";
      return result;
    }
    result.blocks.push_back(std::move(b));
    const block& added = result.blocks.back();
    pos = added.end();
    if (added.type == head_encryption) {
      result.end_offset = pos;
      result.problem = "the archive's headers are encrypted";
      return result;
    }
    if (added.type == head_end) {
      result.end_offset = pos;
      result.complete = true;
      return result;
    }
  }
}

std::optional<bytes> main_extra_without_locator(const bytes& extra) {
  bytes kept;
  field_reader r(extra.data(), extra.size());
  while (r.remaining() > 0) {
    std::size_t start = r.offset();
    auto size = r.vint();
    if (!size || *size == 0 || *size > r.remaining()) return std::nullopt;
    std::size_t record_end = r.offset() + static_cast<std::size_t>(*size);
    auto type = r.vint();
    if (!type || r.offset() > record_end) return std::nullopt;
    if (*type != main_extra_locator)
      kept.insert(kept.end(), extra.begin() + static_cast<std::ptrdiff_t>(start),
                  extra.begin() + static_cast<std::ptrdiff_t>(record_end));
    r.skip(record_end - r.offset());
  }
  return kept;
}

}  // namespace rartool::rar5
