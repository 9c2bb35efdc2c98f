// browse_command.hpp - the reference host's `browse` command: the add-on download window on its own.
#pragma once

#include <functional>
#include <string>

namespace api32::desktop {

/// Opens w_download_addon with the opening text `url` ("" = the add-on page), after setting the host's
/// game_name and app_addon_url to `game` and `addon_url` where those are not empty. Each download report is
/// handed to `emit` as a line ("started <file> <url>", "progress <received>/<expected> <file>",
/// "finished <file>", "failed <file> <error>"). Runs its own main loop until the window is closed, or
/// SIGINT / SIGTERM. Returns 0, or 2 when no display can be opened.
int run_browse(const std::string& url, const std::string& game, const std::string& addon_url,
               const std::function<void(const std::string& line)>& emit);

}  // namespace api32::desktop

extern "C" {
/// The same for a host that reaches the desktop module with dlsym; null texts count as "", a null `emit`
/// prints each line on stdout.
int api32_desktop_run_browse(const char* url, const char* game, const char* addon_url,
                             void (*emit)(const char* line, void* context), void* context);
}
