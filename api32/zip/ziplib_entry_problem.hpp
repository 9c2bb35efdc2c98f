// ziplib_entry_problem.hpp - why the current entry of an archive open for reading cannot be opened or read
// whole: the reason behind a failed unzOpenCurrentFile, a failed read or a CRC mismatch, for callers that
// report failures by name (the extracting walk, the api32 command).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace api32::host {
class progress_meter;
}

namespace api32::zipentry {

/// What stands in the way of the current entry's data.
enum class entry_problem {
  none,                ///< nothing found: the entry opens (or was read whole with a matching CRC)
  no_current_entry,    ///< the handle is not an open archive, or it has no current entry
  encrypted,           ///< the entry is encrypted; there is no password support
  unsupported_method,  ///< compressed with a method the reader does not decode (see README: methods)
  damaged_header,      ///< no local header where the directory says, or one that contradicts the directory
  overlapping,         ///< its data overlap another entry's data (many records sharing data: a zip bomb)
  read_error,          ///< the archive could not be read there, or it ends inside the entry's data
  damaged_data,        ///< the compressed data cannot be decoded
  too_much_memory,     ///< decoding would take more memory than a decoder may (a dictionary beyond any preset's)
  size_mismatch,       ///< the data end before the entry's declared size
  crc_mismatch,        ///< all declared bytes were read, but their CRC is not the entry's
};

/// A short English phrase for `problem` ("encrypted", "damaged data", ...), for messages.
const char* describe(entry_problem problem);

/// Why the current entry of the archive `unzfile` (a handle from unzOpen) cannot be read: the problem that
/// the last open, read or close of the current entry found; when nothing was tried on it yet, the checks
/// that opening it makes (encryption, method, local header, overlap) are run without opening it. Moving to
/// another entry forgets what was found.
entry_problem current_entry_problem(std::uint32_t unzfile);

/// The current entry's declared uncompressed size (64-bit, Zip64 values included), for budgets; nullopt when
/// there is no current entry.
std::optional<std::uint64_t> current_entry_size(std::uint32_t unzfile);

/// Reads the current entry of `unzfile` to its end and drops the data (nothing is written, at most one
/// block is held): none when every declared byte came and their CRC is the entry's, else what stood in the
/// way. Bytes read are added to `meter` when one is given.
entry_problem verify_current_entry(std::uint32_t unzfile, host::progress_meter* meter);

/// The current entry's name as the archive stores it; nullopt when there is no current entry.
std::optional<std::string> current_entry_name(std::uint32_t unzfile);

/// The current entry's date (stored as local time) in seconds since 1970, UTC; nullopt when there is no
/// current entry or the date is none.
std::optional<std::int64_t> current_entry_time(std::uint32_t unzfile);

/// Why the last extraction of an entry of `unzfile` to a file failed: the entry's problem or what the
/// confined writer refused ("a symbolic link is in the way (Addon)"); empty after a success.
std::string extraction_failure(std::uint32_t unzfile);
/// The names (UTF-8) of the entries of the zip archive at the Windows path `windows_path` whose data overlap
/// another entry's; empty when there are none or the archive cannot be read.
std::vector<std::string> overlapping_entries(const std::string& windows_path);

/// Notes the reason of a failed extraction (empty: it succeeded) for extraction_failure.
void note_extraction_failure(std::uint32_t unzfile, std::string reason);

}  // namespace api32::zipentry
