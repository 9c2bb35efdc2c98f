// ziplib_unzip_overlap.cpp - finds entries whose local data overlap another entry's: many central records
// pointing into one local entry make a small archive expand without limit (the overlapping zip bomb).
// The local offsets are sorted once per archive, when it is opened; each check is then a binary search.
#include <algorithm>

#include "api32/zip/ziplib_unzip_archive.hpp"
#include "api32/zip/ziplib_unzip_bytes.hpp"

namespace api32::unzipbinding {
namespace {

std::uint64_t saturating_add(std::uint64_t a, std::uint64_t b) { return b > UINT64_MAX - a ? UINT64_MAX : a + b; }

}  // namespace

bool overlap_index::build(archive_file& file, directory& dir) {
  constexpr std::uint64_t wrap = 0x10000;
  ranges_.clear();
  central_entry entry;
  std::vector<std::uint8_t> scratch;
  std::uint64_t position = dir.start;
  std::uint64_t index = 0;
  for (; position < dir.end && (!dir.count_known || dir.count_may_wrap || index < dir.entries); ++index) {
    bool past_count = dir.count_known && index >= dir.entries;  // only records of a wrapped count
    if (read_central_entry(file, dir, position, entry, scratch) != unz_ok) {
      if (past_count) break;
      return false;
    }
    ranges_.push_back({entry.local_offset, entry.compressed_size});
    position += entry.record_size();
  }
  if (dir.count_known && index > dir.entries) {
    if ((index - dir.entries) % wrap == 0)
      dir.entries = index;
    else
      ranges_.resize(static_cast<std::size_t>(dir.entries));  // what follows the count is no entry of the walk
  }
  std::sort(ranges_.begin(), ranges_.end(), [](const range& a, const range& b) { return a.offset < b.offset; });
  return true;
}

bool overlap_index::overlaps(archive_file& file, const directory& dir, std::uint64_t local_offset,
                             std::uint64_t data_end) const {
  auto by_offset = [](const range& r, std::uint64_t offset) { return r.offset < offset; };
  auto first = std::lower_bound(ranges_.begin(), ranges_.end(), local_offset, by_offset);
  // another entry starting at the same header or inside this entry's data (the entry itself is one of them)
  std::size_t starting_inside = 0;
  for (auto it = first; it != ranges_.end() && it->offset < data_end && starting_inside < 2; ++it) ++starting_inside;
  if (starting_inside > 1) return true;
  if (first == ranges_.begin()) return false;
  // the entry before it reaching into it: its exact extent needs its local header's name and extra sizes
  const range& before = *std::prev(first);
  std::uint64_t before_end = saturating_add(saturating_add(before.offset, local_header_size), before.compressed_size);
  std::uint8_t header[local_header_size];
  if (file.read_exact(saturating_add(dir.prefix, before.offset), header, sizeof header) &&
      le32(header) == local_signature)
    before_end = saturating_add(before_end, le16(header + 26) + le16(header + 28));
  return before_end > local_offset;
}

}  // namespace api32::unzipbinding
