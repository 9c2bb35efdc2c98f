// ziplib_unzip_end_records.cpp - finds the end record, the Zip64 locator and end record, the bytes in front
// of the archive, and so the central directory (the rules are in ziplib_unzip_archive.hpp).
#include <algorithm>

#include "api32/zip/ziplib_unzip_archive.hpp"
#include "api32/zip/ziplib_unzip_bytes.hpp"

namespace api32::unzipbinding {
namespace {

constexpr std::uint32_t end_signature = 0x06054B50;
constexpr std::uint32_t locator_signature = 0x07064B50;
constexpr std::uint32_t zip64_end_signature = 0x06064B50;
constexpr std::size_t end_size = 22;
constexpr std::size_t locator_size = 20;
constexpr std::size_t zip64_end_size = 56;
constexpr std::size_t max_comment = 0xFFFF;
// End records tried before the file is given up: a comment may hold the signature, but hardly this often.
constexpr int most_candidates = 64;

// What the end record (or the Zip64 end record) says about the directory.
struct directory_claim {
  std::uint64_t entries;
  std::uint64_t size;
  std::uint64_t offset;
  bool count_known;
  bool count_may_wrap;  // the end record's 16-bit count (no Zip64 end record)
};

bool central_record_at(archive_file& file, std::uint64_t position) {
  std::uint8_t bytes[4];
  return file.read_exact(position, bytes, sizeof bytes) && le32(bytes) == central_signature;
}

// Places the directory whose records end where the end records begin, at `records_end`.
bool place_directory(archive_file& file, std::uint64_t records_end, const directory_claim& claim, directory& dir) {
  dir.entries = claim.entries;
  dir.count_known = claim.count_known && !(claim.entries == 0 && claim.size != 0);  // records, yet a count of 0
  dir.count_may_wrap = claim.count_may_wrap;
  if (claim.size == 0 && (claim.entries == 0 || !claim.count_known)) {  // no entries: nothing to find
    dir.prefix = 0;
    dir.start = dir.end = records_end;
    return true;
  }
  // the directory ends where the end records begin; what lies beyond its offset is in front of the archive
  if (claim.offset <= records_end && claim.size <= records_end - claim.offset) {
    std::uint64_t prefix = records_end - claim.offset - claim.size;
    if (central_record_at(file, claim.offset + prefix)) {
      dir.prefix = prefix;
      dir.start = claim.offset + prefix;
      dir.end = records_end;
      return true;
    }
  }
  // a wrong directory size: the directory may still be at its offset, counted from the file's start
  if (claim.offset < records_end && central_record_at(file, claim.offset)) {
    dir.prefix = 0;
    dir.start = claim.offset;
    dir.end = records_end;
    return true;
  }
  return false;
}

// The Zip64 end record that the locator at `locator` points to: where it says or, behind a prefix, right
// before the locator. Its position goes to `position`.
bool find_zip64_end(archive_file& file, std::uint64_t locator, const std::uint8_t* locator_bytes,
                    std::uint8_t (&record)[zip64_end_size], std::uint64_t& position) {
  std::uint64_t stated = le64(locator_bytes + 8);
  std::uint64_t candidates[2] = {stated, locator >= zip64_end_size ? locator - zip64_end_size : locator};
  for (std::uint64_t at : candidates) {
    if (at >= locator || locator - at < zip64_end_size) continue;
    if (!file.read_exact(at, record, zip64_end_size) || le32(record) != zip64_end_signature) continue;
    std::uint64_t size = le64(record + 4);  // of the rest of the record
    if (size < zip64_end_size - 12 || size > locator - at - 12) continue;
    position = at;
    return true;
  }
  return false;
}

// Reads the end record at `position` (its bytes in `record`) and the directory it leads to.
bool read_end_records(archive_file& file, std::uint64_t position, const std::uint8_t* record, directory& dir) {
  unsigned disk = le16(record + 4);
  unsigned directory_disk = le16(record + 6);
  unsigned count = le16(record + 10);
  directory_claim claim{count, le32(record + 12), le32(record + 16), count != 0xFFFF, true};
  dir.comment_position = position + end_size;
  dir.comment_size = le16(record + 20);
  dir.comment_present =
      static_cast<std::uint32_t>(std::min<std::uint64_t>(dir.comment_size, file.size() - dir.comment_position));

  std::uint8_t locator[locator_size];
  if (position >= locator_size && file.read_exact(position - locator_size, locator, locator_size) &&
      le32(locator) == locator_signature) {
    std::uint8_t zip64[zip64_end_size];
    std::uint64_t zip64_position = 0;
    if (le32(locator + 4) == 0 && le32(locator + 16) <= 1 &&  // one disk (some writers count none)
        find_zip64_end(file, position - locator_size, locator, zip64, zip64_position)) {
      if (le32(zip64 + 16) != 0 || le32(zip64 + 20) != 0) return false;  // a spanned archive
      claim = {le64(zip64 + 32), le64(zip64 + 40), le64(zip64 + 48), true, false};
      return place_directory(file, zip64_position, claim, dir);
    }
    // no Zip64 end record to be found: the end record must then hold the real values
    if (count == 0xFFFF || claim.size == 0xFFFFFFFF || claim.offset == 0xFFFFFFFF) return false;
  }
  if (disk != 0 || directory_disk != 0) return false;  // a spanned archive
  return place_directory(file, position, claim, dir);
}

}  // namespace

bool find_directory(archive_file& file, directory& dir) {
  std::uint64_t size = file.size();
  if (size < end_size) return false;
  std::size_t tail_size = static_cast<std::size_t>(std::min<std::uint64_t>(size, end_size + max_comment));
  std::uint64_t tail_start = size - tail_size;
  std::vector<std::uint8_t> tail(tail_size);
  if (!file.read_exact(tail_start, tail.data(), tail.size())) return false;

  // first the records whose comment ends the file, then the others, each from the end backwards
  int tried = 0;
  for (bool exact : {true, false}) {
    for (std::size_t i = tail_size - end_size + 1; i-- > 0;) {
      if (le32(tail.data() + i) != end_signature) continue;
      bool comment_ends_file = i + end_size + le16(tail.data() + i + 20) == tail_size;
      if (comment_ends_file != exact) continue;
      if (++tried > most_candidates) return false;
      if (read_end_records(file, tail_start + i, tail.data() + i, dir)) return true;
    }
  }
  return false;
}

}  // namespace api32::unzipbinding
