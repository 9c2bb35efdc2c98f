// extraction_report.cpp - passing skipped entries on to the host.
#include "api32/host/extraction_report.hpp"

#include "api32/host/host_services.hpp"

namespace api32::host {

void report_entry_not_extracted(const std::string& archive, const std::string& entry, const std::string& reason) {
  const auto& listener = globals().entry_not_extracted;
  if (listener) listener(skipped_entry{archive, entry, reason});
}

existing_file_policy existing_files() { return globals().existing_files; }

std::uint64_t extraction_limit() { return globals().extraction_limit; }

}  // namespace api32::host
