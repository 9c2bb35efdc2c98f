// compression_format.cpp - format selection and the helpers the RAR branches share.
#include "api32/compression/uo_nv_compression.hpp"
#include "api32/host/host_services.hpp"
#include "api32/process/uo_nv_process.hpp"
#include "api32/runtime/text.hpp"

namespace api32 {

void uo_nv_compression::select_format(const std::string& as_filename) {
  std::string ending = text::upper(text::right(as_filename, 4));
  if (ending == ".RAR") compression_format = format_rar;
  if (ending == ".ZIP") compression_format = format_zip;
  is_archive = as_filename;
}

void uo_nv_compression::run_rar(const std::string& as_command, const std::string& as_directory) {
  // a fresh process object for every run, with its default settings and time-out
  uo_nv_process process;
  process.of_runandwait(as_command, "", as_directory, false, true, true);
}

std::string uo_nv_compression::fill_template(const std::string& as_template) {
  auto& host = host::globals();
  // the templates start with the program's name: it becomes the quoted full path
  static const std::string program = "rar.exe";
  std::string command = as_template.compare(0, program.size(), program) == 0
                            ? rar_program() + as_template.substr(program.size())
                            : host.app_path + "lib\\" + as_template;
  command = host.gnv_core->of_globalreplace(command, "[ARCHIVE]", is_archive);
  command = host.gnv_core->of_globalreplace(command, "[PATH]", "");
  return command;
}

void uo_nv_compression::directory_call(const std::string& as_folder) {
  auto& host = host::globals();
  [[maybe_unused]] std::int16_t li_rc = host.gnv_core->of_directoryadd(as_folder, "", host.w_addon_create.lb_file,
                                                                       host.w_addon_create.lb_dirfile, "*.*", true);
}

}  // namespace api32
