// ziplib_writer_names.hpp - how the archive writer names, dates and sizes an entry for a file on disk.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "api32/zip/zip_records.hpp"

namespace api32::ziplib {

/// The entry name for the file `filename` below the prefix `folder`: a leading drive ("C:\") is dropped,
/// "\" becomes "/", leading separators are dropped (a native absolute path is rooted like a drive), and the
/// prefix goes in front as given. nullopt for a name that would climb out of the folder it is extracted to:
/// a "." or ".." part (with either separator) or a prefix that starts at a root.
std::optional<std::string> entry_name(std::string_view filename, std::string_view folder);

/// True when an entry made from `size` source bytes may reach 4 GiB compressed or uncompressed, so it must be
/// written with Zip64 records (deflate can grow incompressible data slightly).
bool needs_zip64(std::uint64_t size);

/// True when the name holds bytes beyond ASCII and is valid UTF-8: such names carry the language encoding
/// flag (general purpose bit 11) so that readers decode them as UTF-8 rather than code page 437.
bool needs_utf8_flag(std::string_view name);

/// The date an entry can carry: MS-DOS dates run from 1980-01-01 to 2107-12-31, so earlier times become
/// 1980-01-01 00:00:00 and later ones 2107-12-31 23:59:58 instead of wrapping into a wrong year.
tm_unz clamp_to_dos_range(const tm_unz& date);

}  // namespace api32::ziplib
