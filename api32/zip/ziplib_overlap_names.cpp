// ziplib_overlap_names.cpp - the names of a zip archive's entries whose data overlap another entry's, for
// extractors that read the archive by other means (the archiver reads zip archives in order, as a stream,
// and cannot see that twenty records share one entry's data).
#include "api32/zip/ziplib_entry_names.hpp"
#include "api32/zip/ziplib_entry_problem.hpp"
#include "api32/zip/ziplib_unzip_archive.hpp"

namespace api32::zipentry {

std::vector<std::string> overlapping_entries(const std::string& windows_path) {
  namespace unz = unzipbinding;
  std::vector<std::string> names;
  unz::unzip_archive archive;
  archive.file = unz::archive_file::open(windows_path);
  if (!archive.file || !unz::find_directory(*archive.file, archive.dir) ||
      !archive.overlaps.build(*archive.file, archive.dir))
    return names;
  const unz::directory& dir = archive.dir;
  if ((dir.count_known && dir.entries == 0) || dir.start >= dir.end) return names;
  std::uint64_t position = dir.start;
  for (std::uint64_t index = 0; archive.go_to(position, index) == 0; ++index) {
    std::uint64_t data_start = 0;
    if (archive.check_current(data_start) == entry_problem::overlapping)
      names.push_back(zipnames::decode(archive.current.name, archive.current.flag));
    position = archive.current.position + archive.current.record_size();
    if ((dir.count_known && index + 1 >= dir.entries) || position >= dir.end) break;
  }
  return names;
}

}  // namespace api32::zipentry
