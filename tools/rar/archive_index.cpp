// archive_index.cpp - the entry index from RAR 5 block headers.
#include "tools/rar/archive_index.hpp"

#include <cstring>

#include "tools/rar/rar5_format.hpp"
#include "tools/rar/rar5_scan.hpp"

namespace rartool {

archive_index read_index(const input& in) {
  std::uint8_t head[sizeof rar5::signature_v4];
  if (in.read_at(0, head, sizeof head) && std::memcmp(head, rar5::signature_v4, sizeof head) == 0)
    return rar4::read_index(in);
  archive_index index;
  if (!rar5::has_signature(in)) return index;
  index.version = 5;
  rar5::scan_result scan = rar5::scan(in);
  for (const auto& b : scan.blocks) {
    if (b.type == rar5::head_encryption) index.headers_encrypted = true;
    if (b.type != rar5::head_file) continue;
    indexed_entry e;
    e.name = b.name;
    e.size = b.unpacked_size;
    e.packed_size = b.data_size;
    e.attributes = static_cast<std::uint32_t>(b.attributes);
    e.windows_attributes = b.host_os == 0;
    e.crc = b.data_crc;
    e.encrypted = b.encrypted;
    e.directory = b.directory();
    index.entries.push_back(std::move(e));
  }
  index.complete = scan.complete;
  return index;
}

}  // namespace rartool
