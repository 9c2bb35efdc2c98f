// exit_status.hpp - the archiver's exit codes and the one-line messages it writes to stderr.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace rartool {

enum class exit_code : int {
  success = 0,
  warning = 1,       // something was skipped; the rest succeeded
  fatal = 2,         // the archive could not be read or updated
  crc_error = 3,     // data did not match its checksum, or could not be decrypted
  write_error = 5,   // writing to disk failed (full disk, I/O error)
  open_error = 6,    // an archive or source file could not be opened
  usage = 7,         // wrong command or switch
  create_error = 9,  // a file, folder or archive could not be created
  no_files = 10,     // nothing matched the masks
};

/// Collects the outcome of a run: each problem is written as one line on stderr at once, and the exit code
/// is that of the most severe problem seen.
class status {
public:
  explicit status(bool quiet = false) : quiet_(quiet) {}
  void report(exit_code code, std::string_view message);
  exit_code code() const { return code_; }
  int exit_value() const { return static_cast<int>(code_); }
  /// Also receives every message (quiet or not); empty = none. For callers that keep what was said.
  std::function<void(const std::string&)> on_message;

private:
  exit_code code_ = exit_code::success;
  bool quiet_;
};

/// How much a code outweighs another when several problems occur in one run (higher wins).
int severity(exit_code code);

/// Text made safe for a one-line message: control characters become '?'.
std::string printable(std::string_view text);

}  // namespace rartool
