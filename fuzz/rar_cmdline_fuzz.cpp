// rar_cmdline_fuzz.cpp - the archiver's command line: its own splitting rules, the choice between the raw
// line and argv, the switches, and the entry names and masks the command line is applied to.
//
// Input: a raw command line, then after the first newline entry names, one a line. Checks: the raw line is
// chosen exactly when the Windows split agrees with argv, parsed options stay in their ranges, and a safe
// name never keeps a part that could leave the destination.
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "api32/win32/cmdline.hpp"
#include "fuzz/support/fuzz_support.hpp"
#include "tools/rar/command_line.hpp"
#include "tools/rar/entry_names.hpp"

namespace {

void check_options(const rartool::options& opt) {
  if (opt.command != 'x' && opt.command != 'a' && opt.command != 'l')
    api32::fuzz::fail("a command other than x, a or l was accepted");
  const bool listing_form_known = opt.listing == 'l' || opt.listing == 't' || opt.listing == 'b';
  if ((opt.command == 'l') != listing_form_known) api32::fuzz::fail("a listing form without l, or l without one");
  if (opt.archive.empty()) api32::fuzz::fail("an empty archive name was accepted");
  if (opt.masks.empty()) api32::fuzz::fail("no mask (\"*\" expected)");
  if (opt.priority < 0 || opt.priority > 15 || opt.sleep_ms < 0 || opt.sleep_ms > 1000)
    api32::fuzz::fail("-ri out of range");
  if (opt.destination && opt.command != 'x') api32::fuzz::fail("a destination for a command other than x");
}

void check_inner_path(const std::string& inner) {
  if (inner.empty()) return;
  if (inner.front() == '/' || inner.back() == '/') api32::fuzz::fail("-ap path keeps an outer separator");
  std::size_t start = 0;
  while (start <= inner.size()) {
    std::size_t end = inner.find('/', start);
    if (end == std::string::npos) end = inner.size();
    std::string_view part(inner.data() + start, end - start);
    if (part.empty() || part == "." || part == ".." || part.find('\\') != std::string_view::npos)
      api32::fuzz::fail("-ap path keeps an empty, \".\" or \"..\" part: " + inner);
    start = end + 1;
  }
}

void check_name(const std::string& name, const rartool::options* opt, const std::string& inner) {
  if (auto parts = rartool::safe_components(name)) {
    for (const auto& part : *parts) {
      if (part.empty() || part == "." || part == ".." || part.find_first_of("/\\") != std::string::npos)
        api32::fuzz::fail("safe_components kept the part \"" + part + "\" of " + name);
    }
  }
  if (opt == nullptr) return;
  for (const auto& mask : opt->masks) (void)rartool::mask_matches(mask, name);
  if (auto below = rartool::below_inner_path(inner, name)) (void)rartool::safe_components(*below);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t newline = input.find('\n');
  const std::string raw(input.substr(0, newline));
  const std::string_view names = newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);

  // argv as a Windows program receives it; the raw line as the Win32 layer hands it over (a C string)
  const std::vector<std::string> argv = api32::win32::split_command_line(raw);
  const std::string raw_c(raw.c_str());
  const auto arguments = rartool::effective_arguments(argv, raw_c.c_str());
  const auto windows = api32::win32::split_command_line(raw_c);
  const bool raw_agrees =
      !windows.empty() && std::vector<std::string>(windows.begin() + 1, windows.end()) ==
                              std::vector<std::string>(argv.begin() + (argv.empty() ? 0 : 1), argv.end());
  const auto expected = raw_agrees ? rartool::split_rar_arguments(rartool::after_program_name(raw_c))
                                   : std::vector<std::string>(argv.begin() + (argv.empty() ? 0 : 1), argv.end());
  if (arguments != expected) api32::fuzz::fail("effective_arguments chose the wrong source");
  if (rartool::effective_arguments(argv, nullptr) !=
      std::vector<std::string>(argv.begin() + (argv.empty() ? 0 : 1), argv.end()))
    api32::fuzz::fail("without a raw line the arguments are not argv's");

  const auto parsed = rartool::parse_options(arguments);
  const auto* opt = std::get_if<rartool::options>(&parsed);
  std::string inner;
  if (opt) {
    check_options(*opt);
    inner = rartool::clean_inner_path(opt->inner_path);
    check_inner_path(inner);
  }

  std::size_t start = 0;
  for (int count = 0; start <= names.size() && count < 64; ++count) {
    std::size_t end = names.find('\n', start);
    if (end == std::string_view::npos) end = names.size();
    check_name(std::string(names.substr(start, end - start)), opt, inner);
    start = end + 1;
  }
  return 0;
}
