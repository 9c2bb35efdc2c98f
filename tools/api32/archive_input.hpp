// archive_input.hpp - the archive a command names: a file, or "-" for standard input.
#pragma once

#include <string>

namespace api32::tool {

/// The archive argument of a command. "-" reads standard input to its end into a temporary file in a
/// private folder of $TMPDIR (named .zip or .rar after its first bytes), removed with this object.
class archive_input {
public:
  explicit archive_input(const std::string& argument);
  ~archive_input();
  archive_input(const archive_input&) = delete;
  archive_input& operator=(const archive_input&) = delete;

  /// False when the archive is missing or standard input could not be saved; the reason is printed.
  bool ok() const { return ok_; }
  /// How messages name the archive: the argument, or "(standard input)".
  const std::string& shown() const { return shown_; }
  /// The argument to hand to the library (a path the command line's path handling understands).
  const std::string& path() const { return path_; }

private:
  bool spool_standard_input();

  bool ok_ = false;
  std::string shown_;
  std::string path_;
  std::string spool_folder_;  // not empty while a temporary exists
};

/// True when the archive `path` is a RAR archive: by its extension, or for an extension that says nothing by
/// its first bytes.
bool is_rar_archive(const std::string& path);

}  // namespace api32::tool
