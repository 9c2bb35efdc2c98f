// ziplib_entry_names.cpp - entry names and comments: UTF-8 flag, valid UTF-8, or code page 437.
#include "api32/zip/ziplib_entry_names.hpp"

#include <algorithm>

#include "api32/runtime/text.hpp"

namespace api32::zipnames {

namespace {

std::string_view up_to_nul(std::string_view raw) { return raw.substr(0, raw.find('\0')); }

bool is_ascii(std::string_view raw) {
  return std::all_of(raw.begin(), raw.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

std::string decode(std::string_view raw, std::uint32_t flag) {
  raw = up_to_nul(raw);
  if (is_ascii(raw)) return std::string(raw);  // the common case, the same in every reading
  if ((flag & utf8_flag) != 0) return text::make_valid_utf8(raw);
  if (text::is_valid_utf8(raw)) return std::string(raw);
  return text::from_cp437(raw);
}

void decode_into(std::string& out, std::string_view raw, std::uint32_t flag, std::size_t limit) {
  raw = up_to_nul(raw);
  if (is_ascii(raw)) {
    out.assign(raw.substr(0, limit));
    return;
  }
  out = truncate_utf8(decode(raw, flag), limit);
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
