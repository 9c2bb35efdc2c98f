// archive_progress.cpp - throttled progress reports to the host.
#include "api32/host/archive_progress.hpp"

#include <atomic>
#include <utility>

#include "api32/host/host_services.hpp"

namespace api32::host {
namespace {

// The time of the last report of any meter: one file added after another makes a meter each, and together
// they still report no more often than a single one.
std::atomic<std::chrono::steady_clock::rep> last_report{0};

}  // namespace

progress_meter::progress_meter(progress_report::kind what, std::string archive, std::uint64_t entries_total,
                               std::uint64_t bytes_total)
    : listening_(static_cast<bool>(globals().archive_progress)) {
  state_.what = what;
  state_.archive = std::move(archive);
  state_.entries_total = entries_total;
  state_.bytes_total = bytes_total;
  if (listening_) report(true);
}

progress_meter::~progress_meter() { finish(); }

void progress_meter::start_entry(const std::string& entry) {
  if (!listening_) return;
  state_.entry = entry;
  report(false);
}

void progress_meter::add_bytes(std::uint64_t count) {
  if (!listening_) return;
  state_.bytes_done += count;
  report(false);
}

void progress_meter::entry_done() {
  if (!listening_) return;
  ++state_.entries_done;
  report(false);
}

void progress_meter::finish() {
  if (!listening_ || state_.finished) return;
  state_.finished = true;
  report(true);
}

void progress_meter::report(bool always) {
  auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  // a file added is one step of the caller's larger work: its first and last reports are not forced
  always = always && state_.what != progress_report::kind::adding;
  auto interval = std::chrono::duration_cast<std::chrono::steady_clock::duration>(progress_interval).count();
  if (!always && now - last_report.load() < interval) return;
  last_report.store(now);
  // the listener may have been removed meanwhile; a throwing one must not unwind through the library
  const auto& listener = globals().archive_progress;
  if (!listener) return;
  try {
    listener(state_);
  } catch (...) {
    listening_ = false;
  }
}

}  // namespace api32::host
