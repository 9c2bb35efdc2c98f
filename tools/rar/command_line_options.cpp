// command_line_options.cpp - the command, the switches and the positional arguments.
#include <cctype>

#include "api32/runtime/text.hpp"
#include "tools/rar/command_line.hpp"

namespace rartool {
namespace {

std::optional<int> small_number(std::string_view digits, int max) {
  if (digits.empty() || digits.size() > 4) return std::nullopt;
  int value = 0;
  for (char c : digits) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value > max) return std::nullopt;
  return value;
}

// Applies one switch (without its leading '-'); false when it is not one the archiver knows.
bool apply_switch(std::string_view sw, options& opt) {
  const std::string lower = api32::text::lower(sw);
  if (lower == "r") {
    opt.recurse = true;
  } else if (lower == "o+" || lower == "y") {
    opt.overwrite = overwrite_mode::always;
  } else if (lower == "o-") {
    opt.overwrite = overwrite_mode::never;
  } else if (lower.starts_with("ri")) {
    std::string_view value = sw.substr(2);
    std::size_t colon = value.find(':');
    auto priority = small_number(value.substr(0, colon), 15);
    if (!priority) return false;
    opt.priority = *priority;
    if (colon != std::string_view::npos) {
      auto sleep = small_number(value.substr(colon + 1), 1000);
      if (!sleep) return false;
      opt.sleep_ms = *sleep;
    }
  } else if (lower.starts_with("ap")) {
    opt.inner_path = std::string(sw.substr(2));
  } else {
    return false;
  }
  return true;
}

bool ends_with_separator(std::string_view s) { return !s.empty() && (s.back() == '\\' || s.back() == '/'); }

}  // namespace

std::variant<options, usage_error> parse_options(const std::vector<std::string>& arguments) {
  options opt;
  std::vector<std::string> positional;
  bool switches_end = false;
  for (const auto& arg : arguments) {
    if (!switches_end && arg == "--") {
      switches_end = true;
    } else if (!switches_end && arg.size() > 1 && arg[0] == '-') {
      if (!apply_switch(std::string_view(arg).substr(1), opt)) return usage_error{"unknown switch " + arg};
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.empty()) return usage_error{"no command given (x extracts, a adds, l, lt, lb list)"};
  const std::string command = api32::text::lower(positional.front());
  if (command == "l" || command == "lt" || command == "lb") {
    opt.listing = command.size() == 1 ? 'l' : command[1];
  } else if (command != "x" && command != "a") {
    return usage_error{"unknown command " + positional.front()};
  }
  opt.command = command[0];
  if (positional.size() < 2 || positional[1].empty()) return usage_error{"no archive named"};
  opt.archive = positional[1];
  opt.masks.assign(positional.begin() + 2, positional.end());
  if (opt.command == 'x' && !opt.masks.empty() && (opt.masks.back().empty() || ends_with_separator(opt.masks.back()))) {
    opt.destination = opt.masks.back();
    opt.masks.pop_back();
  }
  if (opt.masks.empty()) opt.masks.push_back("*");
  return opt;
}

}  // namespace rartool
