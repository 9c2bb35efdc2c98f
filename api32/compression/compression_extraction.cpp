// compression_extraction.cpp - extracting one entry and listing (or, for RAR, extracting) a whole archive.
#include "api32/compression/uo_nv_compression.hpp"
#include "api32/host/host_services.hpp"
#include "api32/runtime/files.hpp"
#include "api32/runtime/text.hpp"
#include "api32/win32/files_confined.hpp"
#include "api32/zip/uo_nv_ziplib.hpp"

namespace api32 {
namespace {

// Position (1-based) of the last backslash, 0 when there is none.
std::int64_t last_backslash(const std::string& s) {
  std::size_t at = s.rfind('\\');
  return at == std::string::npos ? 0 : text::len(s.substr(0, at)) + 1;
}

// rar wrote the entry below `folder` under its own name; the caller wants it at `filepath`. Both ends are
// reached through the confined writer: the copy is read without following a link planted in the folder and
// written only below the target's folder, then the extracted file is removed by descriptor.
bool move_out_of_extraction(const std::string& folder, const std::string& entry_name, const std::string& filepath) {
  auto components = win32::confined_components(entry_name);
  auto from = components && !components->empty() ? win32::open_confined_base_existing(folder) : nullptr;
  if (!from) return false;
  win32::unique_fd source = from->open_file(*components);
  if (!source) return false;
  auto target = win32::split_confined_target(filepath, entry_name);
  std::string error;
  auto to = target.refusal.empty() ? win32::open_confined_base(target.base, error) : nullptr;
  if (!to || !win32::copy_into(source.get(), *to, target.components)) return false;
  from->remove_file(*components);
  return true;
}

}  // namespace

bool uo_nv_compression::of_extractfile(std::uint32_t aul_unzfile, const std::string& as_filename,
                                       const std::string& as_filepath, const std::optional<std::string>& as_directory) {
  auto& host = host::globals();
  if (compression_format != format_rar) {
    return host.gziplib &&
           host.gziplib->of_extractfile(aul_unzfile, as_filename, as_filepath, as_directory.value_or(""));
  }
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

  std::string command = host.app_path + "lib\\" + "Rar.exe x -o+ -ri15 \"" + is_archive + "\" \"" + as_filename +
                        "\" \"" + extraction_folder + "\"";
  run_rar(command, host.app_path + "lib\\");

  if (filepath.empty()) filepath = extraction_folder + as_filename;
  std::string extracted = extraction_folder + as_filename;
  if (extracted != filepath) return move_out_of_extraction(extraction_folder, as_filename, filepath);
  return win32::confined_file_exists(filepath, as_filename);
}

std::string uo_nv_compression::of_cudwdirectory(const std::string& as_filename, datastore& ads,
                                                const std::string& as_basedir, bool ab_extract) {
  if (compression_format != format_rar) {
    auto zip = host::globals().gziplib;
    return zip ? zip->of_cudwdirectory(as_filename, ads, as_basedir, ab_extract) : std::string();
  }
  // RAR: no listing rows; every entry is extracted below the base folder, whatever ab_extract says
  directory_call(as_basedir);
  run_rar(fill_template(rar_extract_all), as_basedir);
  return "";
}

}  // namespace api32
