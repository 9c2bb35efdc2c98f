// extraction_report.hpp - what a whole-archive extraction tells the host about the entries it did not
// write, and the host's cap on what one such extraction may write.
//
// The classes' results stay as they are (a listing, true or false); a host that wants to know which entries
// were skipped and why installs `entry_not_extracted` in its services. The reference command prints them.
#pragma once

#include <cstdint>
#include <string>

namespace api32::host {

/// One entry a whole-archive extraction did not write.
struct skipped_entry {
  std::string archive;  ///< the archive, as the caller named it
  std::string entry;    ///< the entry's name as the archive stores it
  std::string reason;   ///< a short English phrase: "unsafe name ...", "a symbolic link is in the way (Addon)",
                        ///< "its data overlap another entry's data", "no space left ...", ...
};

/// What extraction does with a file already where an entry goes. A file kept is reported as an entry not
/// extracted ("exists, not replaced", "a file as new or newer is in the way").
enum class existing_file_policy {
  replace,     ///< the file is replaced (the default)
  keep,        ///< the file is kept
  keep_newer,  ///< the file is kept unless it is older than the entry's date
};

/// Tells the host's `entry_not_extracted` listener, if one is installed, that an entry was not extracted.
void report_entry_not_extracted(const std::string& archive, const std::string& entry, const std::string& reason);

/// The host's choice for files already in place (replace unless the host chose otherwise).
existing_file_policy existing_files();

/// The host's cap on the bytes one whole-archive extraction may write (0 = none, the default).
std::uint64_t extraction_limit();

}  // namespace api32::host
