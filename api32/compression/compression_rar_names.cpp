// compression_rar_names.cpp - what may reach the archiver's command line, and how the command line is built.
#include "api32/compression/uo_nv_compression.hpp"
#include "api32/host/host_services.hpp"
#include "api32/win32/files_confined.hpp"

namespace api32 {

// A name of an entry inside the archive: relative, never climbing (".."), without a drive, and without a
// quotation mark (which no Windows file name holds, and which would end its argument on the command line).
bool uo_nv_compression::is_safe_entry_name(const std::string& as_name) {
  if (as_name.empty() || as_name.find('"') != std::string::npos) return false;
  auto parts = win32::confined_components(as_name);
  return parts && !parts->empty();
}

// The archive's path appears in quotation marks on the command line: one inside it would add arguments.
bool uo_nv_compression::is_safe_archive_name(const std::string& as_name) {
  return !as_name.empty() && as_name.find('"') == std::string::npos;
}

// The archiver's path in quotation marks, so that an application folder with a blank stays one argument.
std::string uo_nv_compression::rar_program() { return "\"" + host::globals().app_path + "lib\\" + "Rar.exe\""; }

}  // namespace api32
