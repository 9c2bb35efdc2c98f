// update_plan.hpp - what of an existing RAR 5 archive an add command carries into the new one.
//
// Entries are carried over byte for byte, so only archives whose blocks stand on their own qualify: not
// multi-volume, solid, encrypted, locked or damaged, and without a recovery record (which would no longer
// fit). The quick-open cache and the main header's locator are dropped: they hold offsets that the rewrite
// changes, and readers do without them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/rar/rar5_scan.hpp"

namespace rartool {

/// Blocks that travel together: a file header with the service blocks that belong to it, or one other block.
struct block_group {
  std::string name;  // the entry's name for a file group, empty otherwise
  bool file = false;
  std::vector<std::size_t> blocks;  // indices into the scan's blocks, in archive order
};

struct update_plan {
  std::string refusal;  // why the archive cannot be carried over; empty when it can
  bytes main_extra;     // records for the new main header
  std::vector<block_group> groups;
};

update_plan plan_update(const rar5::scan_result& scan, std::uint64_t archive_size);

}  // namespace rartool
