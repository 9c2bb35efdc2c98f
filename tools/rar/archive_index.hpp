// archive_index.hpp - what the headers of a RAR archive say about each entry (its data CRC, size, and
// whether it is encrypted), read independently of the decoder so extraction can check what it wrote.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/rar/byte_io.hpp"

namespace rartool {

struct indexed_entry {
  std::optional<std::string> name;  // UTF-8 with "/" separators (RAR 5 only)
  std::uint64_t size = 0;
  std::uint64_t packed_size = 0;    // the data area the header announces
  std::uint32_t attributes = 0;     // as the archiving system stored them
  bool windows_attributes = false;  // attributes are Windows attribute bits (else a Unix mode)
  std::optional<std::uint32_t> crc;
  bool encrypted = false;
  bool directory = false;
};

struct archive_index {
  int version = 0;  // 4 or 5; 0 when the input is not a RAR archive (or one with a self-extractor in front)
  bool headers_encrypted = false;
  bool complete = false;               // every file header up to the end of the archive was read
  std::vector<indexed_entry> entries;  // one per file header, in archive order
};

/// Reads the file headers of a RAR 4 or RAR 5 archive; stops quietly at the first header it cannot read.
archive_index read_index(const input& in);

namespace rar4 {
/// The RAR 4 part of read_index, for an input that starts with the RAR 4 signature.
archive_index read_index(const input& in);
}  // namespace rar4

}  // namespace rartool
