// commands.hpp - the subcommands of the reference host, grouped by what they drive.
#pragma once

#include <CLI/CLI.hpp>

namespace api32::tool {

/// Each adds its subcommands to `app`; a subcommand's callback leaves its exit status in `status`
/// (0 success, 1 the operation failed, 2 wrong usage).
void add_archive_commands(CLI::App& app, int& status);
void add_process_commands(CLI::App& app, int& status);
void add_file_commands(CLI::App& app, int& status);
void add_abi_commands(CLI::App& app, int& status);
void add_image_commands(CLI::App& app, int& status);
void add_desktop_commands(CLI::App& app, int& status);

}  // namespace api32::tool
