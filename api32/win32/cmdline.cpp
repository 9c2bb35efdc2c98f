// cmdline.cpp - splitting and building Windows command lines (the C runtime's argv rules).
#include "api32/win32/cmdline.hpp"

namespace api32::win32 {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// The program name: up to the first blank outside quotes; quotes toggle, nothing is escaped.
std::size_t split_program_name(std::string_view line, std::string& name) {
  bool in_quotes = false;
  std::size_t i = 0;
  for (; i < line.size(); ++i) {
    char c = line[i];
    if (c == '"') {
      in_quotes = !in_quotes;
      continue;
    }
    if (!in_quotes && is_blank(c)) break;
    name += c;
  }
  return i;
}

}  // namespace

std::vector<std::string> split_command_line(std::string_view line) {
  std::vector<std::string> arguments;
  if (line.empty()) return arguments;
  std::string program;
  std::size_t i = split_program_name(line, program);
  arguments.push_back(std::move(program));

  bool in_quotes = false;
  for (;;) {
    while (i < line.size() && is_blank(line[i])) ++i;
    if (i >= line.size()) break;
    std::string argument;
    for (;;) {
      std::size_t backslashes = 0;
      while (i < line.size() && line[i] == '\\') {
        ++backslashes;
        ++i;
      }
      bool copy_character = true;
      if (i < line.size() && line[i] == '"') {
        if (backslashes % 2 == 0) {
          if (in_quotes && i + 1 < line.size() && line[i + 1] == '"') {
            ++i;  // a doubled quote inside quotes: one literal quote, still quoted
          } else {
            copy_character = false;
            in_quotes = !in_quotes;
          }
        }
        backslashes /= 2;
      }
      argument.append(backslashes, '\\');
      if (i >= line.size() || (!in_quotes && is_blank(line[i]))) break;
      if (copy_character) argument += line[i];
      ++i;
    }
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

std::string build_command_line(const std::vector<std::string>& arguments) {
  std::string line;
  for (std::size_t k = 0; k < arguments.size(); ++k) {
    const std::string& argument = arguments[k];
    if (k > 0) line += ' ';
    if (k == 0) {
      bool quote = argument.empty() || argument.find_first_of(" \t") != std::string::npos;
      if (quote) line += '"';
      line += argument;
      if (quote) line += '"';
      continue;
    }
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) {
      line += argument;  // backslashes without a quote after them are literal
      continue;
    }
    line += '"';
    std::size_t backslashes = 0;
    for (char c : argument) {
      if (c == '\\') {
        ++backslashes;
        continue;
      }
      if (c == '"') {
        line.append(backslashes * 2 + 1, '\\');  // each backslash doubled, then the escaped quote
      } else {
        line.append(backslashes, '\\');
      }
      backslashes = 0;
      line += c;
    }
    line.append(backslashes * 2, '\\');  // doubled, so the closing quote stays a quote
    line += '"';
  }
  return line;
}

}  // namespace api32::win32
