// files_confined_internal.hpp - pieces the confined writer's files share.
#pragma once

#include <fcntl.h>

#include <atomic>
#include <cstdint>
#include <string>

namespace api32::win32::confined_detail {

/// A plain name of one component: not empty, ".", "..", and without "/" or NUL.
bool valid_component(const std::string& part);
/// A fresh name for a temporary (".api32-<16 hex digits>.part").
std::string temporary_name();
/// Opens the folder `name` (one component) in `folder` without following a link: openat2 with
/// RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS, or openat(O_NOFOLLOW | O_DIRECTORY).
int open_folder_below(int folder, const char* name);
bool use_openat2();
void note_openat2_missing();
/// Runs the test hook, if one is set.
void after_block(const std::string& shown, std::uint64_t written);

}  // namespace api32::win32::confined_detail
