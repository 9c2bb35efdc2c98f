// paths.hpp - Windows paths on Linux: the drive table and the mapping between Windows and native paths.
//
// Library paths are Windows paths. "\" and "/" both separate components. "X:" drives map through a drive
// table (Z: is "/" by default, as Wine has it; others come from API32_DRIVE_<X> or set_drive). A leading "\"
// is the root of the current folder's drive; a relative path is relative to the current folder; "." parts are
// dropped and ".." parts climb, clamped at the drive's root as Windows clamps them. A native absolute path
// ("/...") is accepted as it is. Existing components are found without regard to case (so Rar.exe finds
// rar.exe); components that do not exist yet are kept as written. UNC paths (\\server\share) and device
// paths (\\.\) are not reachable. In a native path too "\" separates components, so a native folder with a
// Windows tail ("/games/" + "data\a.txt") works. set_drive also exports the mapping as API32_DRIVE_<X>, so
// the programs the library starts map drives the same way.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace api32::win32 {

inline constexpr std::size_t MAX_PATH = 260;

/// The native path for a Windows path, or nullopt with the last error set: ERROR_PATH_NOT_FOUND for an empty
/// path or a drive that is not mapped, ERROR_BAD_NETPATH for UNC paths, ERROR_INVALID_NAME for a NUL byte.
/// A trailing separator is kept ("C:\Out\" -> ".../Out/").
std::optional<std::string> to_native_path(std::string_view windows_path);

/// The Windows form of a native path: the drive whose root is the longest prefix ("/" is Z:), "/" turned
/// into "\". A relative native path only has its separators turned.
std::string to_windows_path(std::string_view native_path);

/// Maps drive `letter` (A-Z, either case) to a native folder; an empty root removes the mapping.
/// Returns false for a letter outside A-Z.
bool set_drive(char letter, std::string native_root);
/// The native root of a drive, or nullopt when it is not mapped.
std::optional<std::string> drive_root(char letter);

/// True for \\server\share and \\?\, \\.\ forms.
bool is_unc_path(std::string_view windows_path);

/// Tells the path mapping that the library itself just created (or renamed into place) this native path, so
/// that its cached view of the folder stays valid (creating many files in one folder then costs no rereading).
void note_directory_entry(std::string_view native_path);

/// Finds an existing native path without regard to case, component by component: the real spelling of each
/// component that exists in some case, the written spelling from the first one that does not.
std::string resolve_case(std::string_view native_path);

}  // namespace api32::win32

namespace api32::win32 {

/// Matches a file name against a Windows wildcard pattern without regard to case: "*" any run, "?" one
/// character; "*.*" matches every name, with or without a point, as on Windows.
bool wildcard_match(std::string_view pattern, std::string_view name);

}  // namespace api32::win32
