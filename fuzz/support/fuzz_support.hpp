// fuzz_support.hpp - what the fuzz targets share: a private scratch folder, quiet message boxes, resource
// counts, and a loud stop when a target's own check finds a fault the sanitizers cannot see.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace api32::fuzz {

/// A folder of this fuzzing process (in $TMPDIR when set, else /dev/shm or /tmp), made on first use and
/// removed with everything in it when the process ends.
const std::string& scratch();

/// Sends every message box to nowhere: the targets run millions of failing inputs.
void silence_message_boxes();

/// Writes `size` bytes to `path`, replacing it; aborts when the scratch folder cannot take them.
void write_file(const std::string& path, const std::uint8_t* data, std::size_t size);

/// Removes a folder and everything below it (links are removed, never followed).
void remove_tree(const std::string& path);

/// The names in a folder ("." and ".." left out), sorted.
std::vector<std::string> folder_names(const std::string& path);

/// Every path below `root` (relative to it, "/"-separated), folders included, without following links.
std::vector<std::string> tree_below(const std::string& root);

/// True when `path` (or anything below it) is a symbolic link.
bool holds_symlink(const std::string& path);

/// Number of descriptors this process has open.
int open_descriptors();

/// Reports a broken promise of the code under test and aborts, so libFuzzer keeps the input as a crash.
[[noreturn]] void fail(const std::string& what);

}  // namespace api32::fuzz
