// zip_records.hpp - the zip library's records, laid out as minizip's structures on 32-bit Windows.
//
// minizip's own structures use 64-bit uLong on this platform, so these records are never handed to it as
// they are: the binding copies them field by field.
#pragma once

#include <cstdint>

namespace api32 {

/// minizip's tm_unz: six 32-bit fields, each as a value half and an upper half that is never read.
struct tm_unz {
  std::uint16_t tm_sec = 0;
  std::uint16_t tm_gap1 = 0;
  std::uint16_t tm_min = 0;
  std::uint16_t tm_gap2 = 0;
  std::uint16_t tm_hour = 0;
  std::uint16_t tm_gap3 = 0;
  std::uint16_t tm_mday = 0;
  std::uint16_t tm_gap4 = 0;
  std::uint16_t tm_mon = 0;  ///< 0 = January
  std::uint16_t tm_gap5 = 0;
  std::uint16_t tm_year = 0;  ///< four digits
  std::uint16_t tm_gap6 = 0;
};

struct unz_global_info {
  std::uint32_t number_entry = 0;
  std::uint32_t size_comment = 0;
};

/// The central-directory record of the current entry.
struct unz_fileinfo {
  std::uint32_t version = 0;
  std::uint32_t version_needed = 0;
  std::uint32_t flag = 0;
  std::uint32_t compression_method = 0;
  std::uint32_t dosdate = 0;
  std::uint32_t crc = 0;
  std::uint32_t compressed_size = 0;
  std::uint32_t uncompressed_size = 0;
  std::uint32_t size_filename = 0;
  std::uint32_t size_file_extra = 0;
  std::uint32_t size_file_comment = 0;
  std::uint32_t disk_num_start = 0;
  std::uint32_t internal_fa = 0;
  std::uint32_t external_fa = 0;
  tm_unz tmu_date;
};

/// The input record of a new entry.
struct zip_fileinfo {
  tm_unz tmz_date;
  std::uint32_t dos_date = 0;
  std::uint32_t internal_fa = 0;
  std::uint32_t external_fa = 0;
};

static_assert(sizeof(tm_unz) == 24);
static_assert(sizeof(unz_global_info) == 8);
static_assert(sizeof(unz_fileinfo) == 80);
static_assert(sizeof(zip_fileinfo) == 36);

}  // namespace api32
