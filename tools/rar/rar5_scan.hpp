// rar5_scan.hpp - walks the blocks of a RAR 5 archive without touching compressed data: where each block
// lies, what its header says, and whether its header checksum holds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/rar/byte_io.hpp"

namespace rartool::rar5 {

struct block {
  std::uint64_t offset = 0;        // first byte of the header (its CRC)
  std::uint64_t header_bytes = 0;  // CRC, size field and header
  std::uint64_t data_size = 0;     // data area that follows the header
  std::uint64_t type = 0;
  std::uint64_t flags = 0;
  // main archive header
  std::uint64_t archive_flags = 0;
  bytes main_extra;  // the main header's extra area, as stored
  // file and service headers
  std::uint64_t file_flags = 0;
  std::uint64_t unpacked_size = 0;
  std::uint64_t attributes = 0;
  std::uint64_t compression = 0;
  std::uint64_t host_os = 0;
  std::optional<std::uint32_t> data_crc;
  std::string name;
  bool encrypted = false;    // has a file encryption record
  bool redirection = false;  // symbolic link, junction or hard link record
  // end of archive header
  std::uint64_t end_flags = 0;

  std::uint64_t end() const { return offset + header_bytes + data_size; }
  bool directory() const { return (file_flags & 0x0001) != 0; }
};

struct scan_result {
  std::vector<block> blocks;
  bool complete = false;         // the end-of-archive block was reached with every header intact
  std::uint64_t end_offset = 0;  // just past the last block read
  std::string problem;           // why the walk stopped before the end-of-archive block
};

/// True when the input starts with the RAR 5 signature.
bool has_signature(const input& in);
/// Walks the blocks after the signature. Stops at the end-of-archive block, at the first damaged or
/// truncated header, or at an archive encryption header (what follows it cannot be read). A block whose
/// data area runs past the end of the input is the last one listed.
scan_result scan(const input& in);

/// The records of a main header's extra area other than the locator (whose offsets go stale when the
/// archive is rewritten); nullopt when the area is malformed.
std::optional<bytes> main_extra_without_locator(const bytes& extra);

}  // namespace rartool::rar5
