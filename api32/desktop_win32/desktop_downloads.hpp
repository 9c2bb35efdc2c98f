// desktop_downloads.hpp - the file side of the download window's downloads: the folder, a safe name, a
// partial file to receive the data, and moving it into place without replacing anything.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace api32::win32 {

/// The native folder downloads go to: `windows_folder` mapped, or the user's download folder when it is
/// empty; created with its missing parents. nullopt (last error set) when it cannot be made a folder.
std::optional<std::string> prepare_download_folder(std::string_view windows_folder);

/// A file name for a download from the name a server suggests: only its last component ("/" and "\" both
/// separate), without control characters and leading dots, made valid UTF-8, at most 200 bytes (the
/// extension kept); "download" when nothing is left.
std::string safe_download_name(std::string_view suggested);

/// Creates an empty file under a fresh hidden name in `folder` for the download of `name` to be written to,
/// so that nothing ever appears under a final name until the data is whole. Its path, or nullopt.
std::optional<std::string> create_partial_file(const std::string& folder, const std::string& name);

/// Moves the partial file to `name` in `folder` without replacing any file: "name.ext", else
/// "name (1).ext", "name (2).ext", ... Returns the final path, or nullopt (last error set; the partial file
/// is left for the caller to remove).
std::optional<std::string> commit_download(const std::string& partial, const std::string& folder,
                                           const std::string& name);

/// Removes a partial file (and what a browser engine may have left beside it); true when nothing is left.
bool remove_partial_file(const std::string& path);

}  // namespace api32::win32
