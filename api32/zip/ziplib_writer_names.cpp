// ziplib_writer_names.cpp - entry names, the Zip64 threshold and the date range of new entries.
#include "api32/zip/ziplib_writer_names.hpp"

#include "api32/runtime/text.hpp"

namespace api32::ziplib {
namespace {

bool is_separator(char c) { return c == '/' || c == '\\'; }

// A "." or ".." part anywhere, whichever separator delimits it: Windows readers split on both.
bool has_dot_part(std::string_view name) {
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = start;
    while (end < name.size() && !is_separator(name[end])) ++end;
    std::string_view part = name.substr(start, end - start);
    if (part == "." || part == "..") return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

std::optional<std::string> entry_name(std::string_view filename, std::string_view folder) {
  std::string path(filename);
  std::int64_t drive = text::pos(path, ":\\");
  if (drive != 2) drive = text::pos(path, ":/");
  if (drive == 2) path = text::mid(path, 4);
  path = text::replace_all(path, "\\", "/");
  path.erase(0, path.find_first_not_of('/'));
  if (!folder.empty() && is_separator(folder.front())) return std::nullopt;
  std::string name = std::string(folder) + path;
  if (has_dot_part(name)) return std::nullopt;
  return name;
}

bool needs_zip64(std::uint64_t size) {
  // zlib's worst case for deflate output is a little above size + size / 4096; leave generous room.
  constexpr std::uint64_t four_gib_less_one = 0xFFFFFFFFull;
  return size + size / 2048 + (1u << 16) >= four_gib_less_one;
}

bool needs_utf8_flag(std::string_view name) {
  for (char c : name)
    if (static_cast<unsigned char>(c) >= 0x80) return text::is_valid_utf8(name);
  return false;
}

tm_unz clamp_to_dos_range(const tm_unz& date) {
  tm_unz clamped = date;
  if (date.tm_year < 1980) {
    clamped = tm_unz{};
    clamped.tm_mday = 1;
    clamped.tm_year = 1980;
  } else if (date.tm_year > 2107) {
    clamped = tm_unz{};
    clamped.tm_sec = 58;
    clamped.tm_min = 59;
    clamped.tm_hour = 23;
    clamped.tm_mday = 31;
    clamped.tm_mon = 11;
    clamped.tm_year = 2107;
  }
  return clamped;
}

}  // namespace api32::ziplib
