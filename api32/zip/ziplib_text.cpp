// ziplib_text.cpp - the zip library's text and number helpers: lastpos, of_replaceall, of_getbit.
#include "api32/runtime/text.hpp"
#include "api32/zip/uo_nv_ziplib.hpp"

namespace api32 {

std::int32_t uo_nv_ziplib::lastpos(const std::optional<std::string>& as_string, const std::string& as_findstr) {
  if (!as_string) return 0;
  const std::string& s = *as_string;
  // An empty search text equals the empty part at the last position.
  if (as_findstr.empty()) return static_cast<std::int32_t>(text::len(s));
  // The last occurrence that starts on a character boundary, as a character position.
  for (std::size_t at = s.rfind(as_findstr); at != std::string::npos;
       at = at == 0 ? std::string::npos : s.rfind(as_findstr, at - 1)) {
    std::int64_t index = 0;
    std::size_t i = 0;
    while (i < at) {
      i += text::char_size(s, i);
      ++index;
    }
    if (i == at) return static_cast<std::int32_t>(index + 1);
  }
  return 0;
}

std::string uo_nv_ziplib::of_replaceall(const std::string& as_oldstring, const std::string& as_findstr,
                                        const std::string& as_replace) {
  // the replacement is never searched again, so "a" -> "aa" ends
  return text::replace_all(as_oldstring, as_findstr, as_replace);
}

bool uo_nv_ziplib::of_getbit(std::optional<std::uint32_t> al_decimal, std::uint16_t aui_bit) {
  if (!al_decimal || aui_bit == 0) return false;
  // The quotient of a 32-bit value by 2 to the power aui_bit - 1 is exact in a double, so the remainder
  // modulo 2, truncated, is that bit of the value; beyond bit 32 the quotient is below 1. The listing asks
  // this four times per entry, so it is answered with a shift.
  if (aui_bit > 32) return false;
  return ((*al_decimal >> (aui_bit - 1)) & 1u) != 0;
}

}  // namespace api32
