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

}  // namespace api32
