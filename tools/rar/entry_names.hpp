// entry_names.hpp - entry names inside archives: which ones a mask selects, and which are safe to create.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rartool {

/// "\" turned into "/".
std::string forward_slashes(std::string_view name);

/// The folder components of an entry name below the destination, with "\" and "/" both separating and empty
/// and "." parts dropped; nullopt for a name that is absolute, has a drive letter or a ".." part. A name with
/// no parts left (such as "./") gives an empty list.
std::optional<std::vector<std::string>> safe_components(std::string_view name);

/// Whether an extraction mask selects an entry. "*" and "*.*" select everything; a mask with a wildcard and
/// no separator is matched against the entry's file name in any folder, one with a separator against the
/// whole path; a plain name selects the entry with that path. Separators may be either slash; case is ignored.
bool mask_matches(std::string_view mask, std::string_view entry_name);

/// A folder inside the archive as given to -ap: "/" separators, no leading or trailing separator, no empty,
/// "." or ".." parts.
std::string clean_inner_path(std::string_view path);

/// For extraction with -ap: the entry's name below `inner_path` (already cleaned), or nullopt when the entry
/// lies outside it. An empty inner path keeps every name.
std::optional<std::string> below_inner_path(std::string_view inner_path, std::string_view entry_name);

}  // namespace rartool
