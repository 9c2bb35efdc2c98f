// command_line_split.cpp - splitting a command line by the archiver's rules, and choosing between the raw
// line and argv.
#include <algorithm>

#include "api32/win32/cmdline.hpp"
#include "tools/rar/command_line.hpp"

namespace rartool {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::vector<std::string> split_rar_arguments(std::string_view text) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (true) {
    while (i < text.size() && is_blank(text[i])) ++i;
    if (i >= text.size()) return out;
    std::string arg;
    bool quoted = false;
    for (; i < text.size(); ++i) {
      char c = text[i];
      if (c == '"') {
        if (quoted && i + 1 < text.size() && text[i + 1] == '"') {
          arg.push_back('"');
          ++i;
        } else {
          quoted = !quoted;
        }
      } else if (!quoted && is_blank(c)) {
        break;
      } else {
        arg.push_back(c);
      }
    }
    out.push_back(std::move(arg));
  }
}

std::string_view after_program_name(std::string_view line) {
  bool quoted = false;
  std::size_t i = 0;
  for (; i < line.size(); ++i) {
    if (line[i] == '"') {
      quoted = !quoted;
    } else if (!quoted && is_blank(line[i])) {
      break;
    }
  }
  return line.substr(i);
}

std::vector<std::string> effective_arguments(const std::vector<std::string>& argv, const char* raw) {
  std::vector<std::string> given(argv.size() > 1 ? argv.begin() + 1 : argv.end(), argv.end());
  if (raw == nullptr) return given;
  const std::vector<std::string> windows = api32::win32::split_command_line(raw);
  if (windows.empty() || !std::equal(windows.begin() + 1, windows.end(), given.begin(), given.end())) return given;
  return split_rar_arguments(after_program_name(raw));
}

}  // namespace rartool
