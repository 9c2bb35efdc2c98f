// win_cmdline_fuzz.cpp - the Windows command-line rules CreateProcessA applies: any line splits without
// fault, and any argument list survives being built into a line and split again.
//
// Input: a first byte whose low bit chooses the mode; then either a command line, or arguments separated by
// newlines.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "api32/win32/cmdline.hpp"
#include "fuzz/support/fuzz_support.hpp"

namespace {

void check_round_trip(const std::vector<std::string>& arguments) {
  // a program name with a quote has no spelling on a Windows command line
  if (arguments.empty() || arguments.front().find('"') != std::string::npos) return;
  const std::string line = api32::win32::build_command_line(arguments);
  if (api32::win32::split_command_line(line) != arguments)
    api32::fuzz::fail("split_command_line(build_command_line(a)) differs from a; line: " + line);
}

std::vector<std::string> lines_of(std::string_view text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t nl; (nl = text.find('\n', start)) != std::string_view::npos; start = nl + 1)
    parts.emplace_back(text.substr(start, nl - start));
  parts.emplace_back(text.substr(start));
  return parts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  if ((data[0] & 1) == 0) {
    const auto arguments = api32::win32::split_command_line(text);
    if (text.empty() != arguments.empty()) api32::fuzz::fail("only an empty line gives no arguments");
    check_round_trip(arguments);
  } else {
    check_round_trip(lines_of(text));
  }
  return 0;
}
