// uo_nv_getopenfilename_text.cpp - the class's character-array and text helpers: of_char_string,
// of_parse_csv, of_string_char, lastpos.
#include <cstddef>

#include "api32/desktop/uo_nv_getopenfilename.hpp"
#include "api32/runtime/text.hpp"

namespace api32 {
namespace {

// Assigns element `position` (1-based) of a character array, growing it (with NULs) when past the end.
void set_element(std::vector<char>& array, std::size_t position, char value) {
  if (position > array.size()) array.resize(position, '\0');
  array[position - 1] = value;
}

}  // namespace

std::int32_t uo_nv_getopenfilename::of_char_string(const std::string& as_string, std::vector<char>& ac_char) {
  std::size_t p = 0;
  for (std::size_t i = 1; i <= as_string.size(); ++i) {
    if (i == 1)
      p = ac_char.empty() ? 1 : ac_char.size();  // overwrites the second NUL of an earlier append
    else
      p = ac_char.size() + 1;
    set_element(ac_char, p, as_string[i - 1]);
  }
  set_element(ac_char, p + 1, '\0');
  set_element(ac_char, p + 2, '\0');
  return static_cast<std::int32_t>(ac_char.size());
}

void uo_nv_getopenfilename::of_parse_csv(const std::string& as_list, std::vector<std::string>& as_array) {
  as_array.clear();
  std::string list = text::trim(as_list);
  if (list.empty() || list.back() != ',') list += ',';
  // Positions are 1-based; a comma at position 1 ends the walk before it starts.
  std::size_t start = 1;
  std::size_t found = list.find(',') + 1;
  while (found > 1) {
    as_array.push_back(list.substr(start - 1, found - start));
    start = found + 1;
    std::size_t next = list.find(',', start - 1);
    found = next == std::string::npos ? 0 : next + 1;
  }
}

std::int32_t uo_nv_getopenfilename::of_string_char(std::vector<char> ac_char, std::vector<std::string>& as_string) {
  as_string.clear();
  std::size_t k = 1;
  const std::size_t upper = ac_char.size();
  for (std::size_t i = 1; i <= upper; ++i) {
    if (ac_char[i - 1] != '\0') {
      if (as_string.size() < k) as_string.resize(k);
      as_string[k - 1] += ac_char[i - 1];
    } else {
      // past the end counts as NUL: an array ending in one NUL ends the walk there
      const char next = i < upper ? ac_char[i] : '\0';
      if (next == '\0') break;
      ++k;
    }
  }
  return static_cast<std::int32_t>(as_string.size());
}

std::int32_t uo_nv_getopenfilename::lastpos(const std::string& as_string, const std::string& as_findstr) {
  // An empty search text equals the empty part at the last position.
  if (as_findstr.empty()) return static_cast<std::int32_t>(text::len(as_string));
  // The last occurrence that starts on a character boundary, as a character position.
  for (std::size_t at = as_string.rfind(as_findstr); at != std::string::npos;
       at = at == 0 ? std::string::npos : as_string.rfind(as_findstr, at - 1)) {
    std::int64_t index = 0;
    std::size_t i = 0;
    while (i < at) {
      i += text::char_size(as_string, i);
      ++index;
    }
    if (i == at) return static_cast<std::int32_t>(index + 1);
  }
  return 0;
}

}  // namespace api32
