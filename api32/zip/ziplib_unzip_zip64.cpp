// ziplib_unzip_zip64.cpp - the fields of an entry's Zip64 extra field (sizes, local header offset) for the
// entries whose central record holds 0xFFFFFFFF placeholders, and the start of an entry's data.
#include "api32/zip/ziplib_unzip_archive.hpp"

namespace api32::unzipbinding {
namespace {

constexpr ZPOS64_T placeholder = 0xFFFFFFFFu;
constexpr unsigned zip64_extra_id = 0x0001;

std::uint64_t little_endian(const unsigned char* p, int bytes) {
  std::uint64_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | p[i];
  return value;
}

// The 8-byte values of the current entry's Zip64 extra block, in their order: the uncompressed size, the
// compressed size and the local header's offset, each present only where the record holds the placeholder.
std::vector<std::uint64_t> zip64_values(unzip_archive& archive, const unz_file_info64& info) {
  std::vector<std::uint64_t> values;
  if (info.size_file_extra == 0) return values;
  auto& extra = archive.extra_buffer;
  extra.resize(info.size_file_extra);
  if (unzGetCurrentFileInfo64(archive.file, nullptr, nullptr, 0, extra.data(), static_cast<uLong>(extra.size()),
                              nullptr, 0) != UNZ_OK)
    return values;
  const auto* data = reinterpret_cast<const unsigned char*>(extra.data());
  std::size_t size = extra.size();
  // blocks of: id (2 bytes), length (2 bytes), data
  for (std::size_t at = 0; at + 4 <= size;) {
    auto id = static_cast<unsigned>(little_endian(data + at, 2));
    auto length = static_cast<std::size_t>(little_endian(data + at + 2, 2));
    std::size_t end = at + 4 + length;
    if (end > size) break;
    if (id == zip64_extra_id) {
      for (std::size_t field = at + 4; field + 8 <= end && values.size() < 3; field += 8)
        values.push_back(little_endian(data + field, 8));
      break;
    }
    at = end;
  }
  return values;
}

}  // namespace

bool apply_zip64_sizes(unzip_archive& archive, unz_file_info64& info) {
  bool uncompressed = info.uncompressed_size == placeholder;
  bool compressed = info.compressed_size == placeholder;
  if (!uncompressed && !compressed) return false;  // the common case: nothing to read
  std::vector<std::uint64_t> values = zip64_values(archive, info);
  std::size_t next = 0;
  bool replaced = false;
  if (uncompressed && next < values.size()) {
    info.uncompressed_size = values[next++];
    replaced = true;
  }
  if (compressed && next < values.size()) {
    info.compressed_size = values[next++];
    replaced = true;
  }
  return replaced;
}

bool zip64_local_header(unzip_archive& archive, std::uint64_t& offset) {
  unz_file_info64 info{};
  if (unzGetCurrentFileInfo64(archive.file, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) return false;
  std::vector<std::uint64_t> values = zip64_values(archive, info);
  // the offset follows the sizes that are there; it is there itself only when one more value is
  std::size_t sizes = (info.uncompressed_size == placeholder ? 1 : 0) + (info.compressed_size == placeholder ? 1 : 0);
  if (values.size() <= sizes) return false;
  offset = values[sizes];
  return true;
}

bool data_behind_local_header(archive_file& file, std::uint64_t offset, std::uint64_t& data_start) {
  // signature, versions, flags, method, time, date, CRC, sizes (26 bytes), then the name's and the extra
  // field's lengths, then the name and the extra field
  std::uint8_t header[30];
  if (read_archive_bytes(file, offset, header, sizeof header) != static_cast<std::int64_t>(sizeof header)) return false;
  if (little_endian(header, 4) != 0x04034B50u) return false;
  data_start = offset + sizeof header + little_endian(header + 26, 2) + little_endian(header + 28, 2);
  return true;
}

}  // namespace api32::unzipbinding
