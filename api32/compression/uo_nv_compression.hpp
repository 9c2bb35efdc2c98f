// uo_nv_compression.hpp - one set of archive functions over ZIP (through the host's zip library object) and
// RAR (through the command-line archiver app_path + "lib\rar.exe").
//
// The format is chosen from the archive's name when an archive is opened (of_unzopen, of_zipopen) and kept
// in the object, so one object serves one archive at a time. ZIP calls go to api32::host::globals().gziplib
// and come back unchanged. RAR calls build the archiver's command lines, run them through a fresh
// uo_nv_process (wait, hidden) and judge success by the files on disk, as the archiver's exit status is not
// examined. A host without a zip library object gets the failure value of each ZIP call instead of a crash.
//
// Where following the archiver's steps as they stand would lose or misplace files, the RAR branches differ:
// - a single entry is extracted into a private scratch folder of the call (below app_path + "tmps", removed
//   afterwards) and moved from there to its target through the confined writer, so nothing outside the
//   target is overwritten, moved or deleted; of_extractfile is true only when the file reached its target;
// - entry names that climb (".."), carry a drive, start with a separator or hold a quotation mark, and
//   archive names with a quotation mark, are refused with the call's failure result before anything is
//   deleted or run (of_unzopen and of_zipopen give 0 for such an archive, as the ZIP branch does for one it
//   cannot open);
// - the archiver's path is quoted on its command line, so an application folder with a blank works;
// - of_importfile treats "/" and "" alike in the file's name, and refuses names that would leave the
//   staging folder (-1).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "api32/runtime/datastore.hpp"

namespace api32 {

class uo_nv_compression {
public:
  inline static const std::string rar_extract = "rar.exe x -o+ \"[ARCHIVE]\" \"[FILE]\" \"[PATH]\"";
  inline static const std::string rar_extract_all = "rar.exe x -r -o+ \"[ARCHIVE]\" \"*.*\" \"[PATH]\"";
  inline static const std::string rar_add = "rar.exe a -ap\"[PATH]\" \"[ARCHIVE]\" \"[FILE]\"";
  inline static const std::string rar_addall = "rar.exe a -r \"[ARCHIVE]\" \"[PATH]*.*\"";
  static constexpr std::int16_t format_zip = 0;
  static constexpr std::int16_t format_rar = 1;
  static constexpr std::uint32_t rar_id = 99999999;

  /// format of the archive last opened: format_zip or format_rar
  std::int16_t compression_format = format_zip;
  /// path of the archive last opened, as the caller gave it
  std::string is_archive;

  std::uint32_t of_unzopen(const std::string& as_filename);
  std::int16_t of_unzclose(std::uint32_t aul_unzfile);
  std::int16_t of_unzlocatefile(std::uint32_t aul_unzfile, const std::string& as_filename);
  std::int16_t of_zipclose(std::uint32_t aul_zipfile, const std::string& as_comment);
  std::uint32_t of_zipopen(const std::string& as_filename);
  /// A null `as_directory` counts as "".
  bool of_extractfile(std::uint32_t aul_unzfile, const std::string& as_filename, const std::string& as_filepath,
                      const std::optional<std::string>& as_directory);
  std::string of_cudwdirectory(const std::string& as_filename, datastore& ads, const std::string& as_basedir,
                               bool ab_extract);
  std::int16_t of_importfile(std::uint32_t aul_zipfile, const std::string& as_filename, const std::string& as_folder,
                             const std::string& as_srcdirectory);

private:
  void select_format(const std::string& as_filename);
  static bool is_safe_entry_name(const std::string& as_name);
  static bool is_safe_archive_name(const std::string& as_name);
  /// app_path + "lib\Rar.exe" in quotation marks.
  static std::string rar_program();
  /// Extracts `as_filename` into a private scratch folder and moves it to `as_filepath` (Windows path).
  bool extract_rar_entry(const std::string& as_filename, const std::string& as_filepath);
  /// Runs one archiver command line, waiting for it, with its window hidden.
  void run_rar(const std::string& as_command, const std::string& as_directory);
  /// app_path + "lib\" + the template, with [ARCHIVE] = is_archive and [PATH] = "".
  std::string fill_template(const std::string& as_template);
  /// Hands the folder to the host's directory listing (its result is not used).
  void directory_call(const std::string& as_folder);
};

}  // namespace api32
