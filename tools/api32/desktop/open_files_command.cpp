// open_files_command.cpp - the `open-files` command of the reference host, in the desktop module.
#include "tools/api32/desktop/open_files_command.hpp"

#include "api32/desktop/uo_nv_getopenfilename.hpp"
#include "api32/desktop_win32/gtk_presenter.hpp"

namespace api32::desktop {

int run_open_files(const std::string& title, const std::string& filter, std::vector<std::string>& paths,
                   std::vector<std::string>& names) {
  install_gtk_presenter();  // without a display the boxes stay on stderr
  uo_nv_getopenfilename dialog;
  return dialog.of_getopenfilename(0, title, paths, names, filter);
}

}  // namespace api32::desktop

extern "C" __attribute__((visibility("default"))) int api32_desktop_run_open_files(
    const char* title, const char* filter, void (*emit)(const char* path, const char* name, void* context),
    void* context) {
  try {  // nothing may unwind into a C caller
    std::vector<std::string> paths, names;
    int result = api32::desktop::run_open_files(title ? title : "", filter ? filter : "", paths, names);
    if (emit != nullptr)
      for (std::size_t i = 0; i < paths.size(); ++i) emit(paths[i].c_str(), names[i].c_str(), context);
    return result;
  } catch (...) {
    return -1;
  }
}
