// commands.hpp - the archiver's two commands: x (extract with full paths) and a (add to an archive).
#pragma once

#include <optional>
#include <string>

#include "tools/rar/byte_io.hpp"
#include "tools/rar/command_line.hpp"
#include "tools/rar/exit_status.hpp"

namespace rartool {

/// Extracts the entries the masks select, with their paths, below the destination (the working folder when
/// none or "" is given). Paths on the command line are Windows paths.
void run_extract(const options& opt, status& st);

/// Adds the files the masks select to the archive, creating it or rewriting it with same-named entries
/// replaced; an existing archive is changed only by renaming a complete new one over it.
void run_add(const options& opt, status& st);

/// Lists the archive's entries: `l` a table (attributes, size, date, time, name), `lt` one field a line for
/// each entry (name, type, size, packed size, ratio, modification time, attributes, CRC32, encryption), `lb`
/// the names alone. Control characters in names are shown as '?'.
void run_list(const options& opt, status& st);

/// The archive named on the command line, opened for reading; an invalid descriptor (the reason reported
/// as open_error) when it cannot be opened or is no regular file.
unique_fd open_archive(const options& opt, status& st);

/// The native path of an archive named on the command line. A name without an extension gets ".rar" when
/// adding, and when extracting if no file of the bare name exists.
std::optional<std::string> archive_native_path(const std::string& windows_path, bool adding);

}  // namespace rartool
