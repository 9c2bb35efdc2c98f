// support_zip_inspect.hpp - what independent readers (Python's zipfile, Info-ZIP) see in an archive.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zip_inspect {

struct entry {
  std::string name;  ///< as Python decodes it (UTF-8 with bit 11, else code page 437)
  std::uint32_t flag_bits = 0;
  std::uint32_t internal_attr = 0;
  std::uint32_t external_attr = 0;
  std::string date;  ///< "yyyy-mm-dd hh:mm:ss"
  std::uint64_t size = 0;
  int method = 0;
  std::string crc;  ///< 8 hex digits
  int create_system = 0;
  std::size_t extra_length = 0;
};

struct listing {
  bool ok = false;  ///< zipfile opened the archive and every entry read back with its CRC
  std::vector<entry> entries;
  std::string comment;  ///< raw bytes
  const entry* find(const std::string& name) const;
  std::vector<std::string> names() const;
};

/// The archive as Python's zipfile reads it.
listing python_listing(const std::string& native_zip);
/// `unzip -t -q`: 0 when Info-ZIP finds every entry intact.
int unzip_test(const std::string& native_zip);
/// `zipinfo` line of one entry (Info-ZIP's view of attributes, text flag, method, date), or "" when absent.
std::string zipinfo_line(const std::string& native_zip, const std::string& entry_name);
/// The files `reader` ("unzip", "bsdtar", "7zz" or "python") extracts from the archive, as paths below the
/// folder it extracted to, sorted; empty when the reader failed.
std::vector<std::string> names_extracted_by(const std::string& reader, const std::string& native_zip);
/// The CRC-32 of a byte string as 8 lower-case hex digits.
std::string crc_hex(const std::string& bytes);

}  // namespace zip_inspect
