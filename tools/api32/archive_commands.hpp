// archive_commands.hpp - what the archive commands share: the habits every one of them takes.
#pragma once

#include <CLI/CLI.hpp>

#include "api32/host/extraction_report.hpp"
#include "archive_input.hpp"

namespace api32::tool {

/// --quiet, --verbose and, for commands that extract, the choice for files already in place.
struct archive_flags {
  bool quiet = false;
  bool verbose = false;
  api32::host::existing_file_policy existing = api32::host::existing_file_policy::replace;
};

/// Adds --quiet/-q and --verbose/-v to `command`, and --overwrite, --skip-existing, --keep-newer when
/// `extracts`.
void add_archive_flags(CLI::App* command, archive_flags& flags, bool extracts);

/// `list` of a RAR archive: the archiver's listing of its entries, as rows like a zip archive's (or JSON).
int list_rar(const archive_input& input, bool json, bool table);

/// The `test` command.
void add_test_command(CLI::App& app, int& status);

}  // namespace api32::tool
