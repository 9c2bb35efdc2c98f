// exit_status.cpp - severity ordering of exit codes and the stderr reporter.
#include "tools/rar/exit_status.hpp"

#include <cstdio>

namespace rartool {

int severity(exit_code code) {
  switch (code) {
    case exit_code::success:
      return 0;
    case exit_code::warning:
      return 1;
    case exit_code::no_files:
      return 2;
    case exit_code::open_error:
      return 3;
    case exit_code::crc_error:
      return 4;
    case exit_code::create_error:
      return 5;
    case exit_code::write_error:
      return 6;
    case exit_code::fatal:
      return 7;
    case exit_code::usage:
      return 8;
  }
  return 7;
}

std::string printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) out.push_back(static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? '?' : c);
  return out;
}

void status::report(exit_code code, std::string_view message) {
  if (!quiet_) {
    std::string line = "rar: " + printable(message) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
  }
  if (on_message) on_message(printable(message));
  if (severity(code) > severity(code_)) code_ = code;
}

}  // namespace rartool
