// command_line_split.cpp - splitting a command line by the archiver's rules and by the Windows rules.
#include "tools/rar/command_line.hpp"

namespace rartool {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

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

std::vector<std::string> split_windows_arguments(std::string_view text, bool doubled_quote_literal) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (true) {
    while (i < text.size() && is_blank(text[i])) ++i;
    if (i >= text.size()) return out;
    std::string arg;
    bool quoted = false;
    for (; i < text.size(); ++i) {
      char c = text[i];
      if (c == '\\') {
        std::size_t n = 0;
        while (i < text.size() && text[i] == '\\') {
          ++n;
          ++i;
        }
        if (i < text.size() && text[i] == '"') {
          arg.append(n / 2, '\\');
          if (n % 2 == 1) {
            arg.push_back('"');
            continue;  // the escaped quote is consumed; the loop's ++i moves past it
          }
          --i;  // let the quote be handled as a quote
        } else {
          arg.append(n, '\\');
          --i;
        }
      } else if (c == '"') {
        if (quoted && i + 1 < text.size() && text[i + 1] == '"') {
          arg.push_back('"');
          ++i;
          if (!doubled_quote_literal) quoted = false;
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
  std::size_t i = 0;
  while (i < line.size() && is_blank(line[i])) ++i;
  if (i < line.size() && line[i] == '"') {
    std::size_t close = line.find('"', i + 1);
    i = close == std::string_view::npos ? line.size() : close + 1;
  }
  while (i < line.size() && !is_blank(line[i])) ++i;
  return line.substr(i);
}

std::vector<std::string> effective_arguments(const std::vector<std::string>& argv, const char* raw) {
  std::vector<std::string> given(argv.size() > 1 ? argv.begin() + 1 : argv.end(), argv.end());
  if (raw == nullptr) return given;
  std::string_view rest = after_program_name(raw);
  if (split_windows_arguments(rest, true) == given || split_windows_arguments(rest, false) == given)
    return split_rar_arguments(rest);
  return given;
}

}  // namespace rartool
