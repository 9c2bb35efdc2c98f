// compression_extraction.cpp - extracting one entry and listing (or, for RAR, extracting) a whole archive.
#include "api32/compression/uo_nv_compression.hpp"
#include "api32/host/files.hpp"
#include "api32/host/host_services.hpp"
#include "api32/runtime/text.hpp"
#include "api32/win32/files_confined.hpp"
#include "api32/win32/files_scratch.hpp"
#include "api32/win32/paths.hpp"
#include "api32/zip/uo_nv_ziplib.hpp"

namespace api32 {
namespace {

// Position (1-based) of the last backslash, 0 when there is none.
std::int64_t last_backslash(const std::string& s) {
  std::size_t at = s.rfind('\\');
  return at == std::string::npos ? 0 : text::len(s.substr(0, at)) + 1;
}

}  // namespace

bool uo_nv_compression::of_extractfile(std::uint32_t aul_unzfile, const std::string& as_filename,
                                       const std::string& as_filepath, const std::optional<std::string>& as_directory) {
  auto& host = host::globals();
  if (compression_format != format_rar) {
    return host.gziplib &&
           host.gziplib->of_extractfile(aul_unzfile, as_filename, as_filepath, as_directory.value_or(""));
  }
  // names that would reach outside or add arguments to the command line: refused before anything happens
  if (!is_safe_entry_name(as_filename) || !is_safe_archive_name(is_archive)) return false;
  // a null folder joined to a name is null on the host: nothing to delete then
  if (as_directory) files::file_delete(*as_directory + as_filepath);
  std::string directory = as_directory.value_or("");
  std::string filepath = as_filepath;

  // the full target: the target's folder and the entry's own name
  std::string full_target;
  if (!filepath.empty()) {
    std::int64_t name_slash = last_backslash(as_filename);
    std::string name_part = name_slash == 0 ? as_filename : text::mid(as_filename, name_slash + 1);
    std::int64_t path_slash = last_backslash(filepath);
    std::string folder_part = path_slash == 0 ? "" : text::left(filepath, path_slash);
    full_target = folder_part + name_part;
  }

  // rar writes the entry with its path below the extraction folder
  std::string extraction_folder = directory;
  if (text::pos(full_target, as_filename) > 0)
    extraction_folder = text::left(full_target, text::len(full_target) - text::len(as_filename));

  // The archiver would write extraction folder + entry name, over whatever is there, even where the target is
  // elsewhere (and the copy step would then move that file away): it writes into a scratch folder of this
  // call instead, and the entry's file alone is moved to the target.
  if (filepath.empty()) {
    // with no folder either, the archiver would leave the entry in its own working folder, where the caller
    // does not look: nothing to extract to
    if (extraction_folder.empty()) return false;
    filepath = extraction_folder + as_filename;
  }
  return extract_rar_entry(as_filename, filepath);
}

bool uo_nv_compression::extract_rar_entry(const std::string& as_filename, const std::string& as_filepath) {
  auto& host = host::globals();
  auto tmps = win32::to_native_path(host.app_path + "tmps\\");
  auto components = win32::confined_components(as_filename);
  if (!tmps || !components) return false;
  int error = 0;
  auto scratch = win32::scratch_folder::make(*tmps, error);
  if (!scratch) return false;
  std::string command = rar_program() + " x -o+ -ri15 \"" + is_archive + "\" \"" + as_filename + "\" \"" +
                        win32::to_windows_path(scratch->path()) + "\"";
  run_rar(command, host.app_path + "lib\\");

  win32::confined_target target = win32::split_confined_target(as_filepath, as_filename);
  if (!target.refusal.empty()) return false;
  std::string why;
  auto folder = win32::open_confined_base(target.base, why);
  return folder && scratch->move_out(*components, *folder, target.components, win32::existing_target::replace_if_free);
}

std::string uo_nv_compression::of_cudwdirectory(const std::string& as_filename, datastore& ads,
                                                const std::string& as_basedir, bool ab_extract) {
  if (compression_format != format_rar) {
    auto zip = host::globals().gziplib;
    return zip ? zip->of_cudwdirectory(as_filename, ads, as_basedir, ab_extract) : std::string();
  }
  // RAR: no listing rows; every entry is extracted below the base folder, whatever ab_extract says
  if (!is_safe_archive_name(is_archive)) return "";
  directory_call(as_basedir);
  run_rar(fill_template(rar_extract_all), as_basedir);
  return "";
}

}  // namespace api32
