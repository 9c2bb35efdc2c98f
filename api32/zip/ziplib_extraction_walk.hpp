// ziplib_extraction_walk.hpp - the state of one whole-archive extraction (of_cudwdirectory with extraction):
// the base folder opened once through the confined writer, and the reason, if any, why nothing may be
// written (the archive does not fit).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "api32/host/archive_progress.hpp"
#include "api32/win32/files_confined.hpp"
#include "api32/zip/uo_nv_ziplib.hpp"

namespace api32 {

struct uo_nv_ziplib::extraction_walk {
  std::string archive;  ///< as the caller named it, for reports
  std::string base;     ///< the Windows base folder every entry goes below
  std::string refusal;  ///< when not empty, no entry is extracted, and this is why
  std::unique_ptr<win32::confined_folder> folder;
  std::string folder_error;                        ///< why the base folder could not be opened
  std::unique_ptr<host::progress_meter> progress;  ///< made with the totals, once they are known

  /// The base folder, opened (and made) on first use; null with folder_error set when it cannot be.
  win32::confined_folder* confined();
};

/// Where a file goes: the folder the caller chose (Windows form, reached by name) and the components below it
/// that came from the archive (walked by the confined writer).
struct confined_target {
  std::string base;
  std::vector<std::string> components;
  std::string refusal;  ///< not empty: nothing may be written, and this is why
};

/// The target `filepath` split into the caller's folder and the archive's part: when the path ends with the
/// entry's name (compared without regard to case), that whole name is walked below the rest, so a link planted
/// at any of its folders is met by the writer; otherwise the file's name is walked below its folder. A path
/// built from a name that climbs ("..") is refused.
confined_target split_target(const std::string& filepath, const std::string& entry_name);

/// Opens the native form of the Windows folder `base` ("" = the current folder) through the confined writer,
/// making it with its missing parents; null with a reason in `error`.
std::unique_ptr<win32::confined_folder> open_extraction_base(const std::string& base, std::string& error);

}  // namespace api32
