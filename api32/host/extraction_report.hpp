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

/// Tells the host's `entry_not_extracted` listener, if one is installed, that an entry was not extracted.
void report_entry_not_extracted(const std::string& archive, const std::string& entry, const std::string& reason);

/// The host's cap on the bytes one whole-archive extraction may write (0 = none, the default).
std::uint64_t extraction_limit();

}  // namespace api32::host
