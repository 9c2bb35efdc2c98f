// files_confined_names.cpp - what the confined writer accepts as a name, what it calls its temporaries, how
// it describes its outcomes, and its test switches.
#include <cctype>
#include <cerrno>
#include <cstring>
#include <random>

#include "api32/win32/files_confined.hpp"
#include "api32/win32/files_confined_internal.hpp"

namespace api32::win32 {
namespace {

constexpr std::string_view temp_prefix = ".api32-";
constexpr std::string_view temp_suffix = ".part";

std::atomic<int> forced_walks{0};
std::atomic<bool> kernel_lacks_openat2{false};
std::function<void(const std::string&, std::uint64_t)> write_hook;

// A component Windows would read as ".." ("..", "...", ". .") climbs; one of points and blanks only that
// holds no "..", such as "." or ". ", names the folder itself.
bool climbs(std::string_view part) {
  return part.find("..") != std::string_view::npos && part.find_first_not_of(". ") == std::string_view::npos;
}

}  // namespace

std::optional<std::vector<std::string>> confined_components(std::string_view name) {
  if (!name.empty() && (name.front() == '/' || name.front() == '\\')) return std::nullopt;
  if (name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0]))) return std::nullopt;
  if (name.find('\0') != std::string_view::npos) return std::nullopt;
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find_first_of("/\\", start);
    if (end == std::string_view::npos) end = name.size();
    std::string_view part = name.substr(start, end - start);
    if (climbs(part)) return std::nullopt;
    if (!part.empty() && part != ".") parts.emplace_back(part);
    start = end + 1;
  }
  return parts;
}

bool is_confined_temporary(std::string_view name) {
  return name.size() > temp_prefix.size() + temp_suffix.size() && name.substr(0, temp_prefix.size()) == temp_prefix &&
         name.substr(name.size() - temp_suffix.size()) == temp_suffix;
}

std::string describe(const confined_outcome& outcome) {
  const std::string where = outcome.detail.empty() ? std::string() : " (" + outcome.detail + ")";
  switch (outcome.result) {
    case confined_result::ok:
      return "written";
    case confined_result::exists:
      return "exists, not replaced" + where;
    case confined_result::unsafe_name:
      return "unsafe name (absolute, with \"..\" or an empty part)";
    case confined_result::link_in_the_way:
      return "a symbolic link is in the way" + where;
    case confined_result::busy:
      return "the existing file cannot be replaced (write-protected or in use)" + where;
    case confined_result::over_budget:
      return "over the extraction's output limit";
    case confined_result::failed:
      break;
  }
  if (outcome.error == ENOSPC || outcome.error == EDQUOT) return "no space left on the device" + where;
  return std::string("cannot write") + where + ": " + std::strerror(outcome.error);
}

namespace confined_detail {

bool valid_component(const std::string& part) {
  return !part.empty() && part != "." && part != ".." &&
         part.find_first_of(std::string_view("/\0", 2)) == std::string::npos;
}

std::string temporary_name() {
  static thread_local std::mt19937_64 engine{std::random_device{}()};
  static const char digits[] = "0123456789abcdef";
  std::uint64_t value = engine();
  std::string out(temp_prefix);
  for (int i = 0; i < 16; ++i, value >>= 4) out += digits[value & 0xf];
  out += temp_suffix;
  return out;
}

bool use_openat2() { return forced_walks.load() == 0 && !kernel_lacks_openat2.load(); }
void note_openat2_missing() { kernel_lacks_openat2 = true; }

void after_block(const std::string& shown, std::uint64_t written) {
  if (write_hook) write_hook(shown, written);
}

}  // namespace confined_detail

scoped_descriptor_walk::scoped_descriptor_walk() { ++forced_walks; }
scoped_descriptor_walk::~scoped_descriptor_walk() { --forced_walks; }

bool confined_uses_openat2() {
  // a probe: the first call on a kernel without openat2 notes that it is missing
  unique_fd probe(confined_detail::open_folder_below(AT_FDCWD, "."));
  return confined_detail::use_openat2();
}

void set_confined_write_hook(std::function<void(const std::string&, std::uint64_t)> hook) {
  write_hook = std::move(hook);
}

}  // namespace api32::win32
