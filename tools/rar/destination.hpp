// destination.hpp - the folder extraction writes into, reached only through descriptors walked down from it:
// no path leaves it, no symbolic link is followed below it, and existing names are found without regard to
// case (as on Windows), so "Data/a.txt" lands in an existing "data" folder.
//
// Files are written under a temporary name in their folder and renamed over the target only when complete,
// so a failed extraction leaves neither a partial file nor a damaged original.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "tools/rar/byte_io.hpp"

namespace rartool {

enum class place_result {
  ok,
  exists,   // the target exists and overwriting was not asked for
  blocked,  // a symbolic link stands where a folder is needed
  failed,   // see error / detail
};

struct place_outcome {
  place_result result = place_result::ok;
  int error = 0;       // errno of the failing call
  std::string detail;  // what failed, for the message
};

class destination;

/// A file being extracted; removed again unless commit() succeeds.
class pending_file {
public:
  pending_file(destination& owner, unique_fd folder, std::string folder_key, std::string temp_name,
               std::string final_name, unique_fd file);
  ~pending_file();
  pending_file(const pending_file&) = delete;
  pending_file& operator=(const pending_file&) = delete;

  int fd() const { return file_.get(); }
  /// Sets the modification time, closes and renames into place; errno in `error` on failure (the temporary
  /// file is removed then).
  bool commit(std::int64_t mtime_sec, long mtime_nsec, bool set_time, int& error);
  void abort();

private:
  destination& owner_;
  unique_fd folder_;
  std::string folder_key_;
  std::string temp_name_;
  std::string final_name_;
  unique_fd file_;
  bool done_ = false;
};

class destination {
public:
  /// Opens the folder at the native path `root`, creating it and its missing parents; nullptr with errno in
  /// `error` when that fails.
  static std::unique_ptr<destination> open(const std::string& root, int& error);

  /// Makes the folders `components` (relative to the root) exist.
  place_outcome make_folder(const std::vector<std::string>& components);
  /// Starts a file at `components`: its folders are made, a temporary file is created beside the target.
  place_outcome create_file(const std::vector<std::string>& components, bool executable, bool overwrite,
                            std::unique_ptr<pending_file>& file);
  /// Opens an existing regular file below the root for reading (no symbolic links followed).
  unique_fd open_file(const std::vector<std::string>& components);

private:
  friend class pending_file;
  explicit destination(unique_fd root) : root_(std::move(root)) {}
  // Walks down to the folder `components[0..count)`, making missing ones when `create`.
  place_outcome walk(const std::vector<std::string>& components, std::size_t count, bool create, unique_fd& folder,
                     std::string& key);
  // The existing spelling of `name` in the folder, or `name` itself when there is none.
  std::string resolve(int folder, const std::string& key, const std::string& name);
  void remember(const std::string& key, const std::string& name);
  void remember_empty_folder(const std::string& key);

  unique_fd root_;
  // per folder (by its path below the root, real spelling): lower-cased name -> name on disk
  std::map<std::string, std::unordered_map<std::string, std::string>> names_;
};

}  // namespace rartool
