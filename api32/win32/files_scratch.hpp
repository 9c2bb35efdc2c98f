// files_scratch.hpp - private scratch folders for a program that writes where we cannot confine it (an
// outside archiver), and the move of one of its files through the confined writer.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "api32/win32/files_confined.hpp"

namespace api32::win32 {

/// A fresh folder of this process below the native folder `parent` (made when missing), readable by its
/// owner only, removed with everything in it when the object goes away. Nothing below it is followed through
/// a symbolic link, when it is read or removed.
class scratch_folder {
public:
  /// null when the folder cannot be made (errno in `error`).
  static std::unique_ptr<scratch_folder> make(const std::string& parent, int& error);
  ~scratch_folder();
  scratch_folder(const scratch_folder&) = delete;
  scratch_folder& operator=(const scratch_folder&) = delete;

  /// The folder's native path, ending with "/".
  const std::string& path() const { return path_; }
  /// Copies the regular file `from` (components below the scratch folder; a link or a folder there is not a
  /// file) to `to` below `target` through the confined writer; the scratch copy goes with the folder.
  confined_outcome move_out(const std::vector<std::string>& from, confined_folder& target,
                            const std::vector<std::string>& to, existing_target existing);

private:
  scratch_folder(std::string path, std::unique_ptr<confined_folder> folder);
  std::string path_;
  std::unique_ptr<confined_folder> folder_;
};

/// Removes the native folder `path` and everything below it without following any symbolic link (a link is
/// removed, not its target): true when nothing is left.
bool remove_folder_tree(const std::string& path);

}  // namespace api32::win32
