// ziplib_entry_names.cpp - entry names and comments: UTF-8 flag, valid UTF-8, or code page 437.
#include "api32/zip/ziplib_entry_names.hpp"

#include "api32/runtime/text.hpp"

namespace api32::zipnames {

std::string decode(std::string_view raw, std::uint32_t flag) {
  if (std::size_t nul = raw.find('\0'); nul != std::string_view::npos) raw = raw.substr(0, nul);
  if ((flag & utf8_flag) != 0) return text::make_valid_utf8(raw);
  if (text::is_valid_utf8(raw)) return std::string(raw);
  return text::from_cp437(raw);
}

std::string truncate_utf8(std::string text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t end = limit;
  // step back over continuation bytes to the start of the character that does not fit
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
  return text;
}

}  // namespace api32::zipnames
