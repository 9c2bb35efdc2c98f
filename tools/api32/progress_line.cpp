// progress_line.cpp - the library's progress reports drawn on the terminal.
#include "progress_line.hpp"

#include <unistd.h>

#include <cstdio>

#include "api32/host/host_services.hpp"

namespace api32::tool {

std::string human_size(double bytes) {
  const char* units[] = {"B", "KB", "MB", "GB", "TB"};
  int unit = 0;
  while (bytes >= 1000 && unit < 4) {
    bytes /= 1000;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, units[unit]);
  return text;
}

progress_line::progress_line(bool quiet) : active_(!quiet && ::isatty(STDERR_FILENO) != 0) {
  if (!active_) return;
  api32::host::globals().archive_progress = [this](const api32::host::progress_report& report) { draw(report); };
}

progress_line::~progress_line() {
  if (active_) api32::host::globals().archive_progress = nullptr;
  clear();
}

void progress_line::set_totals(std::uint64_t entries, std::uint64_t bytes) {
  entries_total_ = entries;
  bytes_total_ = bytes;
}

void progress_line::start_step(std::uint64_t entries_before, std::uint64_t bytes_before) {
  entries_before_ = entries_before;
  bytes_before_ = bytes_before;
}

void progress_line::clear() {
  if (!shown_) return;
  std::fprintf(stderr, "\r\x1b[K");
  std::fflush(stderr);
  shown_ = false;
}

void progress_line::draw(const api32::host::progress_report& report) {
  using kind = api32::host::progress_report::kind;
  if (report.finished && report.what != kind::adding) {
    clear();
    return;
  }
  const bool stepped = report.what == kind::adding;
  const std::uint64_t entries = stepped ? entries_before_ + report.entries_done : report.entries_done;
  const std::uint64_t bytes = stepped ? bytes_before_ + report.bytes_done : report.bytes_done;
  const std::uint64_t entries_total = stepped ? entries_total_ : report.entries_total;
  const std::uint64_t bytes_total = stepped ? bytes_total_ : report.bytes_total;
  const char* verb = report.what == kind::extracting ? "extracting"
                     : report.what == kind::testing  ? "testing"
                                                     : "adding";
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  std::string line = std::string(verb) + " " + std::to_string(entries) + "/" + std::to_string(entries_total) +
                     " entries, " + human_size(static_cast<double>(bytes));
  if (bytes_total > 0) {
    line += " of " + human_size(static_cast<double>(bytes_total));
    line += " (" + std::to_string(bytes >= bytes_total ? 100 : bytes * 100 / bytes_total) + "%)";
  }
  if (seconds > 0.05) line += ", " + human_size(static_cast<double>(bytes) / seconds) + "/s";
  std::fprintf(stderr, "\r%s\x1b[K", line.c_str());
  std::fflush(stderr);
  shown_ = true;
}

}  // namespace api32::tool
