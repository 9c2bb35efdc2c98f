// archive_progress.hpp - how long archive work tells the host how far it has got.
//
// Whole-archive extraction (of_cudwdirectory with extraction), adding a file to an archive (of_importfile)
// and testing an archive's entries report to the host's `archive_progress` listener, if one is installed:
// at once when an extraction or a test starts, then at most five times a second, and once more when it ends
// (a file added is one step of the caller's work: its reports are all throttled). A host shows
// a progress bar or line from them; the reference command draws one on a terminal. Reports come on the
// thread doing the work, so a listener must be quick and must not call the class that reports.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace api32::host {

/// Where one piece of archive work stands.
struct progress_report {
  enum class kind { extracting, testing, adding };
  kind what = kind::extracting;
  std::string archive;             ///< the archive as the caller named it; "" when adding (the writer has no name)
  std::string entry;               ///< the entry (or, when adding, the source file) being worked on
  std::uint64_t entries_done = 0;  ///< entries finished, whether written or skipped
  std::uint64_t entries_total = 0;
  std::uint64_t bytes_done = 0;   ///< uncompressed bytes read or written so far
  std::uint64_t bytes_total = 0;  ///< the declared uncompressed total; 0 when not known
  bool finished = false;          ///< the last report of this piece of work
};

/// Reports one piece of work to the host's listener, throttled as described above. Does nothing (and costs
/// next to nothing) when no listener is installed.
class progress_meter {
public:
  progress_meter(progress_report::kind what, std::string archive, std::uint64_t entries_total,
                 std::uint64_t bytes_total);
  /// Sends the last report if finish() was not called.
  ~progress_meter();
  progress_meter(const progress_meter&) = delete;
  progress_meter& operator=(const progress_meter&) = delete;

  void start_entry(const std::string& entry);
  void add_bytes(std::uint64_t count);
  void entry_done();
  void finish();

private:
  void report(bool always);

  progress_report state_;
  bool listening_;
};

/// The shortest time between two reports (of all meters together), the first and last of an extraction or a
/// test excepted.
constexpr std::chrono::milliseconds progress_interval{200};

}  // namespace api32::host
