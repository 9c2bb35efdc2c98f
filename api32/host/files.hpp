// files.hpp - the host runtime's file functions (exists, folders, delete, copy, move, stream open/read/write).
//
// Paths are Windows paths, mapped by win32/paths. Results follow the host runtime: 1 for success, negative
// for failure, and file numbers from the handle table for open files.
#pragma once

#include <cstdint>
#include <string_view>

#include "api32/runtime/values.hpp"

namespace api32::files {

/// Largest block one stream read delivers (the runtime's stream-mode limit).
inline constexpr std::size_t stream_block = 32765;

bool file_exists(std::string_view path);       ///< a file (not a folder) exists there
bool directory_exists(std::string_view path);  ///< a folder exists there
/// Creates one folder (its parent must exist): 1, or -1 when it cannot be created or already exists.
int create_directory(std::string_view path);
/// Deletes a file: true when it was deleted.
bool file_delete(std::string_view path);
/// Copies a file: 1 success, -1 the source cannot be opened, -2 the target cannot be written (also when it
/// exists and `replace` is false). The target is written under a temporary name and renamed into place, so a
/// failed copy never leaves a half-written target.
int file_copy(std::string_view source, std::string_view target, bool replace);
/// Moves a file: 1 success, -1 the source cannot be found, -2 the target cannot be written (or exists).
int file_move(std::string_view source, std::string_view target);
/// The file's length in bytes, or -1.
std::int64_t file_length(std::string_view path);

enum class file_access { read, write };
enum class file_lock { shared, lock_read_write, lock_write, lock_read };
enum class write_mode { append, replace };

/// Opens a file in stream mode; returns its file number (> 0) or -1. Opening for writing creates the file;
/// `replace` truncates it, `append` writes at its end. A lock other than shared takes an exclusive advisory
/// lock and fails when another holder has one.
std::int32_t file_open(std::string_view path, file_access access, file_lock lock = file_lock::shared,
                       write_mode mode = write_mode::replace);
/// Reads the next block of at most stream_block bytes into `data`; returns the count, -100 at the end of the
/// file, -1 on a read error or a bad file number.
std::int32_t file_read(std::int32_t file_number, blob& data);
/// Reads up to `size` bytes into `buffer`; the count, 0 at the end, -1 on an error.
std::int64_t file_read_some(std::int32_t file_number, std::uint8_t* buffer, std::size_t size);
/// Reads up to `size` bytes at byte `offset` of the file, without moving its position; the count (short or 0
/// at the end of the file), -1 on an error.
std::int64_t file_read_at(std::int32_t file_number, std::uint64_t offset, std::uint8_t* buffer, std::size_t size);
/// Writes all bytes; returns the count written, or -1 (then some bytes may have been written).
std::int64_t file_write(std::int32_t file_number, const std::uint8_t* data, std::size_t size);
inline std::int64_t file_write(std::int32_t file_number, const blob& data) {
  return file_write(file_number, data.data(), data.size());
}
/// Closes a file number: 1, or -1 for a bad number or when the close reports an error (a write that
/// could not be completed).
int file_close(std::int32_t file_number);

/// Opens a file that will replace `path` when committed: the bytes go to a new file under a temporary name in
/// the same folder (created exclusively, locked), so the target is never seen half-written and an existing
/// target is never left half-overwritten. An existing target must be a file that can be opened for writing
/// and that no other holder has locked (it stays locked until commit); a folder, a locked or a write-protected
/// target gives -1, as does a missing folder. A symbolic link at `path` is replaced, never followed. Returns a
/// file number (written with file_write) or -1. file_close on such a number discards the temporary file and
/// leaves the target as it was.
std::int32_t file_open_replacement(std::string_view path);
/// Closes a replacement file and renames it over its target in one step: 1, or -1 when a write could not be
/// completed or the rename fails (the temporary file is removed then) or for a bad file number.
int file_commit(std::int32_t file_number);

}  // namespace api32::files
