// progress_line.hpp - the progress line the command draws on a terminal while the library works.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "api32/host/archive_progress.hpp"

namespace api32::tool {

/// Subscribes to the library's progress reports while it lives and draws them on stderr as one line that
/// updates in place: "extracting 3/10 entries, 1.2 MB of 4.0 MB (30%), 5.1 MB/s". Draws nothing when stderr
/// is not a terminal or `quiet`; the line is cleared when the work ends.
class progress_line {
public:
  explicit progress_line(bool quiet);
  ~progress_line();
  progress_line(const progress_line&) = delete;
  progress_line& operator=(const progress_line&) = delete;

  /// For work the command splits into steps (a file added at a time): the totals of the whole, and where
  /// the next step starts; the library's reports count within the step.
  void set_totals(std::uint64_t entries, std::uint64_t bytes);
  void start_step(std::uint64_t entries_before, std::uint64_t bytes_before);
  /// Removes the line from the terminal.
  void clear();

private:
  void draw(const api32::host::progress_report& report);

  bool active_ = false;
  bool shown_ = false;
  std::uint64_t entries_total_ = 0, bytes_total_ = 0;
  std::uint64_t entries_before_ = 0, bytes_before_ = 0;
  std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
};

/// "1.2 MB", "512 B": sizes as the progress line shows them.
std::string human_size(double bytes);

}  // namespace api32::tool
