// ziplib_extraction_budget.cpp - before a whole-archive extraction: does what it would write fit the host's
// limit and the free space below the base? Declared sizes are added up first, so an archive that cannot fit
// is refused before anything is written rather than found out by a full disk.
#include <string>

#include "api32/host/extraction_report.hpp"
#include "api32/zip/uo_nv_ziplib.hpp"
#include "api32/zip/ziplib_entry_problem.hpp"
#include "api32/zip/ziplib_extraction_walk.hpp"

namespace api32 {

void uo_nv_ziplib::check_extraction_budget(std::uint32_t aul_unzfile) {
  extraction_walk& walk = *extraction_walk_;
  std::uint64_t total = 0;
  std::uint64_t entries = 0;
  std::string name(256, ' ');
  std::string extra;
  std::string comment;
  for (std::int16_t rc = unzgotofirstfile(aul_unzfile); rc == unz_ok; rc = unzgotonextfile(aul_unzfile)) {
    ++entries;
    unz_fileinfo info;
    name.assign(256, ' ');
    if (unzgetcurrentfileinfo(aul_unzfile, info, name, 256, extra, 0, comment, 0) != unz_ok) continue;
    // entries that will not be written cost nothing: folders, and those the reader refuses (overlapping
    // data, encryption, unknown methods, damaged headers)
    if (name.empty() || name.back() == '/' || name.back() == '\\') continue;
    if (zipentry::current_entry_problem(aul_unzfile) != zipentry::entry_problem::none) continue;
    std::uint64_t size = zipentry::current_entry_size(aul_unzfile).value_or(0);
    total = size > UINT64_MAX - total ? UINT64_MAX : total + size;
  }
  walk.progress =
      std::make_unique<host::progress_meter>(host::progress_report::kind::extracting, walk.archive, entries, total);
  const std::uint64_t limit = host::extraction_limit();
  win32::confined_folder* folder = walk.confined();
  if (!folder) return;                              // every entry reports the folder's problem
  if (limit != 0) folder->set_output_limit(limit);  // sizes may lie: what is written is counted too
  if (limit != 0 && total > limit) {
    walk.refusal = "the archive would write " + std::to_string(total) + " bytes, over the host's limit of " +
                   std::to_string(limit) + " bytes";
    return;
  }
  auto available = folder->available_bytes();
  if (available && total > *available)
    walk.refusal = "not enough space: the archive would write " + std::to_string(total) + " bytes, the folder's " +
                   "file system has " + std::to_string(*available) + " bytes free";
}

}  // namespace api32
