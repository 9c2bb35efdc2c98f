// ziplib_entry_names.hpp - how the zip library turns the bytes of an entry's name or comment into text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace api32::zipnames {

/// The general-purpose flag bit that marks a name and comment as UTF-8 (the language-encoding flag).
inline constexpr std::uint32_t utf8_flag = 0x800;

/// An entry's name or comment as UTF-8 text. The bytes are read up to the first NUL, as a C string would be.
/// They are UTF-8 when `flag` has the language-encoding bit (invalid sequences then become U+FFFD) or when
/// they are valid UTF-8 anyway; otherwise they are code page 437, the format's legacy encoding.
std::string decode(std::string_view raw, std::uint32_t flag);

/// decode(raw, flag) cut to `limit` bytes with truncate_utf8, written into `out`, whose storage is reused: the
/// listing and the search by name do this for every entry.
void decode_into(std::string& out, std::string_view raw, std::uint32_t flag, std::size_t limit);

/// At most `limit` bytes of UTF-8 text, cut at a character boundary, so a fixed-size name buffer never ends
/// in half a character.
std::string truncate_utf8(std::string text, std::size_t limit);

}  // namespace api32::zipnames
