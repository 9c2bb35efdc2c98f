// test_support.hpp - helpers shared by the test programs: temporary folders, file I/O, running tools.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "api32/runtime/message_box.hpp"

namespace api32::testing {

/// A fresh folder below $TMPDIR (or /tmp), removed with everything in it when the object goes away.
class temp_dir {
public:
  temp_dir();
  ~temp_dir();
  temp_dir(const temp_dir&) = delete;
  temp_dir& operator=(const temp_dir&) = delete;
  const std::string& path() const { return path_; }
  /// path() + "/" + relative
  std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }
  /// The Windows form of path() + "/" + relative ("Z:\tmp\...").
  std::string windows(const std::string& relative = "") const;

private:
  std::string path_;
};

void write_file(const std::string& path, const std::string& content);
std::string read_file(const std::string& path);
bool exists(const std::string& path);
/// Runs a command through /bin/sh (test set-up only); returns its exit status.
int run(const std::string& command);
/// Runs a command and returns its standard output.
std::string run_output(const std::string& command);
/// Debian's Python, which has the modules the tests use.
inline const char* python() { return "/usr/bin/python3"; }
/// The source tree's folder (from API32_SOURCE_DIR, else the compiled-in one).
std::string source_dir();
std::string build_dir();

/// Installs a recording message presenter for the lifetime of the object.
class recorded_boxes {
public:
  recorded_boxes();
  std::vector<message> boxes() const { return recorder_->boxes(); }
  void clear() { recorder_->clear(); }

private:
  std::shared_ptr<recording_presenter> recorder_;
  scoped_message_presenter guard_;
};

/// Every path below `root` (relative, "/"-separated, sorted; links shown as "name -> target" and not
/// followed), for checking what an operation left on disk.
std::vector<std::string> tree(const std::string& root);

/// What a hostile local user does mid-extraction: moves `folder` to `moved_to` and puts a link to
/// `link_target` where it was.
void swap_folder_for_link(const std::string& folder, const std::string& moved_to, const std::string& link_target);

/// Number of open descriptors of this process.
int open_descriptor_count();

}  // namespace api32::testing
