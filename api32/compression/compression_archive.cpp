// compression_archive.cpp - opening, closing, locating and building archives through one interface.
#include "api32/compression/uo_nv_compression.hpp"
#include "api32/host/files.hpp"
#include "api32/host/host_services.hpp"
#include "api32/win32/files_confined.hpp"
#include "api32/zip/uo_nv_ziplib.hpp"

namespace api32 {

std::uint32_t uo_nv_compression::of_unzopen(const std::string& as_filename) {
  select_format(as_filename);
  if (compression_format == format_rar)  // nothing is opened or looked at on disk
    return is_safe_archive_name(as_filename) ? rar_id : 0;
  auto zip = host::globals().gziplib;
  return zip ? zip->of_unzopen(as_filename) : 0;
}

std::int16_t uo_nv_compression::of_unzclose(std::uint32_t aul_unzfile) {
  if (compression_format == format_rar) return 1;
  auto zip = host::globals().gziplib;
  return zip ? zip->of_unzclose(aul_unzfile) : uo_nv_ziplib::unz_paramerror;
}

std::int16_t uo_nv_compression::of_unzlocatefile(std::uint32_t aul_unzfile, const std::string& as_filename) {
  if (compression_format != format_rar) {
    auto zip = host::globals().gziplib;
    return zip ? zip->of_unzlocatefile(aul_unzfile, as_filename) : uo_nv_ziplib::unz_paramerror;
  }
  // RAR: the entry is found by extracting it into the scratch folder
  if (!is_safe_entry_name(as_filename) || !is_safe_archive_name(is_archive)) return 1;
  std::string scratch = host::globals().app_path + "tmps\\";
  // by descriptors below the scratch folder: the name is the archive's, and no link there is followed
  win32::confined_remove(scratch, as_filename);
  of_extractfile(aul_unzfile, as_filename, "", scratch);
  return win32::confined_file_exists(scratch + as_filename, as_filename) ? 0 : 1;
}

std::uint32_t uo_nv_compression::of_zipopen(const std::string& as_filename) {
  select_format(as_filename);
  if (compression_format != format_rar) {
    auto zip = host::globals().gziplib;
    return zip ? zip->of_zipopen(as_filename) : 0;
  }
  if (!is_safe_archive_name(as_filename)) return 0;
  directory_call(host::globals().app_path + "build\\");
  return rar_id;
}

std::int16_t uo_nv_compression::of_importfile(std::uint32_t aul_zipfile, const std::string& as_filename,
                                              const std::string& as_folder, const std::string& as_srcdirectory) {
  auto& host = host::globals();
  if (compression_format != format_rar) {
    return host.gziplib ? host.gziplib->of_importfile(aul_zipfile, as_filename, as_folder) : -1;
  }
  // RAR: the file is staged below "build\" and the whole folder is added when the archive is closed
  if (!is_safe_entry_name(as_filename) || (!as_folder.empty() && !is_safe_entry_name(as_folder))) return -1;
  std::string staging = host.app_path + "build\\";
  host.gnv_core->of_createpath(staging, as_folder);
  // A file below a sub-folder of its source (sub\a.txt or sub/a.txt) needs that folder in the staging area
  // too, or the copy fails and the file is silently missing from the archive.
  std::size_t slash = as_filename.find_last_of("\\/");
  if (slash != std::string::npos) host.gnv_core->of_createpath(staging + as_folder, as_filename.substr(0, slash + 1));
  files::file_copy(as_srcdirectory + as_filename, staging + as_folder + as_filename, true);
  return 1;
}

std::int16_t uo_nv_compression::of_zipclose(std::uint32_t aul_zipfile, const std::string& as_comment) {
  auto& host = host::globals();
  if (compression_format != format_rar) {
    return host.gziplib ? host.gziplib->of_zipclose(aul_zipfile, as_comment) : uo_nv_ziplib::zip_paramerror;
  }
  if (!is_safe_archive_name(is_archive)) return uo_nv_ziplib::zip_paramerror;
  run_rar(fill_template(rar_addall), host.app_path + "build\\");
  return 1;
}

}  // namespace api32
