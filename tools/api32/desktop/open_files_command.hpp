// open_files_command.hpp - the reference host's `open-files` command: the open-file dialog on its own.
#pragma once

#include <string>
#include <vector>

namespace api32::desktop {

/// Shows the open-file dialog without an owner window: GTK is initialised when a display can be opened (and
/// message boxes become GTK dialogs then), and uo_nv_getopenfilename does the rest. Returns its result: 1
/// chosen (`paths` and `names` hold the full path names and the bare names, in the dialog's order), 0
/// cancelled, -1 dialog error (reported in a "Common Dialog Error" box; on stderr without a display).
int run_open_files(const std::string& title, const std::string& filter, std::vector<std::string>& paths,
                   std::vector<std::string>& names);

}  // namespace api32::desktop

extern "C" {
/// The same for a host that reaches the desktop module with dlsym: each chosen file is handed to `emit`
/// (path, name, context) in order, before the result is returned. Null title or filter count as "".
int api32_desktop_run_open_files(const char* title, const char* filter,
                                 void (*emit)(const char* path, const char* name, void* context), void* context);
}
