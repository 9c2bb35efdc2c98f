// source_files.hpp - the files and folders an add command selects, with the names they get in the archive.
//
// A mask is a Windows path whose last part may hold wildcards. A plain folder name adds the folder with
// everything below it; a wildcard selects files in its folder, and with -r also matching files in every
// folder below (and the folders themselves). Names in the archive keep the mask's folder part without its
// drive, root and ".." parts, then the path found below it; -ap puts a folder in front of them all.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/rar/exit_status.hpp"

namespace rartool {

struct source_item {
  std::string native;  // where to read it
  std::string name;    // its name in the archive, "/" separators
  bool directory = false;
  std::uint64_t size = 0;
  std::uint32_t mode = 0;
  std::int64_t mtime_sec = 0;
  std::uint32_t mtime_nsec = 0;
};

struct file_identity {
  dev_t device = 0;
  ino_t inode = 0;
};

/// Selects the sources; a name selected twice is kept once (the later selection wins). Files that cannot be
/// found or read are reported on `st`; `skip` (the archive itself) is never selected.
std::vector<source_item> collect_sources(const std::vector<std::string>& masks, bool recurse,
                                         const std::string& inner_path, std::optional<file_identity> skip, status& st);

/// The archive-name prefix that a mask's folder part gives: "C:\src\" -> "src/", "..\a\.\b\" -> "a/b/".
std::string stored_prefix(std::string_view folder_part);

}  // namespace rartool
