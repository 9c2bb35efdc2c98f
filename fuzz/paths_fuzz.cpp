// paths_fuzz.cpp - Windows paths mapped to native ones, back again, and Windows wildcards.
//
// Drive D: is a folder of this process and the only drive mapped (Z: is removed), and the current folder
// lies on it. Checks: every path that is not a native one maps below D:'s root or not at all (".." is
// clamped at the root), the result has no empty, "." or ".." part, and its Windows form maps back to it.
//
// Input: a first byte whose low bit chooses the mode; then a path, or a wildcard pattern and a name on two
// lines.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "api32/win32/paths.hpp"
#include "fuzz/support/fuzz_support.hpp"

namespace {

std::string drive_root;

void check_parts(const std::string& native, const std::string& input) {
  std::string_view rest(native);
  rest.remove_prefix(drive_root.size());
  if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
  std::size_t start = 1;  // rest starts with the separator after the root
  while (start <= rest.size() && !rest.empty()) {
    std::size_t end = rest.find('/', start);
    if (end == std::string_view::npos) end = rest.size();
    std::string_view part = rest.substr(start, end - start);
    if (part.empty() || part == "." || part == "..")
      api32::fuzz::fail("mapped path keeps an empty, \".\" or \"..\" part: " + input + " -> " + native);
    start = end + 1;
  }
}

void check_path(std::string_view input) {
  const auto native = api32::win32::to_native_path(input);
  if (!native) return;
  std::string_view unprefixed = input;
  if (unprefixed.substr(0, 4) == "\\\\?\\") unprefixed.remove_prefix(4);
  if (!unprefixed.empty() && unprefixed.front() == '/') return;  // a native path is taken as it is
  const std::string text(input);
  if (native->compare(0, drive_root.size(), drive_root) != 0 ||
      (native->size() > drive_root.size() && (*native)[drive_root.size()] != '/'))
    api32::fuzz::fail("path left drive D: " + text + " -> " + *native);
  check_parts(*native, text);

  const std::string windows = api32::win32::to_windows_path(*native);
  if (windows.substr(0, 2) != "D:") api32::fuzz::fail("Windows form is not on D: " + *native + " -> " + windows);
  // the drive's root comes back as "D:\", which keeps its separator
  const auto again = api32::win32::to_native_path(windows);
  if (!again || (*again != *native && *again != *native + "/"))
    api32::fuzz::fail("Windows form does not map back: " + text + " -> " + *native + " -> " + windows + " -> " +
                      again.value_or("(none)"));
}

void check_wildcard(std::string_view input) {
  const std::size_t newline = input.find('\n');
  const std::string_view pattern = input.substr(0, newline);
  const std::string_view name = newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);
  (void)api32::win32::wildcard_match(pattern, name);
  if (!api32::win32::wildcard_match("*", name)) api32::fuzz::fail("\"*\" does not match every name");
  if (pattern.find_first_of("*?") == std::string_view::npos && !api32::win32::wildcard_match(pattern, pattern))
    api32::fuzz::fail("a pattern without wildcards does not match itself: " + std::string(pattern));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  drive_root = api32::fuzz::scratch() + "/drive-d";
  std::filesystem::create_directories(drive_root + "/Games/Add-Ons");
  std::filesystem::create_directories(drive_root + "/work");
  api32::fuzz::write_file(drive_root + "/Games/ReadMe.TXT", nullptr, 0);
  for (char letter = 'A'; letter <= 'Z'; ++letter) api32::win32::set_drive(letter, "");
  api32::win32::set_drive('D', drive_root);
  if (::chdir((drive_root + "/work").c_str()) != 0) api32::fuzz::fail("cannot enter " + drive_root);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  if ((data[0] & 1) == 0)
    check_path(text);
  else
    check_wildcard(text);
  return 0;
}
