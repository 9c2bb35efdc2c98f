// ziplib_unzip_zip64.cpp - the sizes of a Zip64 extra field, for the entries whose central record holds
// 0xFFFFFFFF placeholders.
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

}  // namespace

bool apply_zip64_sizes(unzip_archive& archive, unz_file_info64& info) {
  bool uncompressed = info.uncompressed_size == placeholder;
  bool compressed = info.compressed_size == placeholder;
  if ((!uncompressed && !compressed) || info.size_file_extra == 0) return false;
  auto& extra = archive.extra_buffer;
  extra.resize(info.size_file_extra);
  if (unzGetCurrentFileInfo64(archive.file, nullptr, nullptr, 0, extra.data(), static_cast<uLong>(extra.size()),
                              nullptr, 0) != UNZ_OK)
    return false;
  const auto* data = reinterpret_cast<const unsigned char*>(extra.data());
  std::size_t size = extra.size();
  // blocks of: id (2 bytes), length (2 bytes), data; the Zip64 block holds, in this order and only for the
  // fields that carry the placeholder, the uncompressed size and the compressed size (8 bytes each)
  for (std::size_t at = 0; at + 4 <= size;) {
    auto id = static_cast<unsigned>(little_endian(data + at, 2));
    auto length = static_cast<std::size_t>(little_endian(data + at + 2, 2));
    std::size_t end = at + 4 + length;
    if (end > size) return false;
    if (id == zip64_extra_id) {
      std::size_t field = at + 4;
      bool replaced = false;
      if (uncompressed && field + 8 <= end) {
        info.uncompressed_size = little_endian(data + field, 8);
        field += 8;
        replaced = true;
      }
      if (compressed && field + 8 <= end) {
        info.compressed_size = little_endian(data + field, 8);
        replaced = true;
      }
      return replaced;
    }
    at = end;
  }
  return false;
}

}  // namespace api32::unzipbinding
