// text.hpp - the host's text functions, counting characters (code points) of UTF-8 text.
//
// Positions are 1-based as the host's are. A byte that is not part of a valid UTF-8 sequence counts as one
// character of its own and is kept as it is, so no input is ever rejected or altered by these functions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace api32::text {

/// Number of characters.
std::int64_t len(std::string_view s);
/// Position of the first occurrence of `find` at or after character `start` (1-based), 0 if none or if `find`
/// is empty; a start below 1 counts as 1.
std::int64_t pos(std::string_view s, std::string_view find, std::int64_t start = 1);
/// `n` characters from character `start` (1-based); n < 0 means "to the end". A start past the end gives "".
std::string mid(std::string_view s, std::int64_t start, std::int64_t n = -1);
std::string left(std::string_view s, std::int64_t n);
std::string right(std::string_view s, std::int64_t n);
/// Case mapping character by character (so the length in characters never changes).
std::string upper(std::string_view s);
std::string lower(std::string_view s);
/// Removes blanks (spaces; with `all_whitespace` also tabs, CR, LF) at both ends / the left / the right.
std::string trim(std::string_view s, bool all_whitespace = false);
std::string lefttrim(std::string_view s, bool all_whitespace = false);
std::string righttrim(std::string_view s, bool all_whitespace = false);
/// Replaces `n` characters from character `start` with `replacement` (the host's Replace).
std::string replace(std::string_view s, std::int64_t start, std::int64_t n, std::string_view replacement);
/// `s` repeated until `n` characters are filled (the host's Fill); empty `s` or n <= 0 gives "".
std::string fill(std::string_view s, std::int64_t n);
/// Every occurrence of `find` replaced, left to right; the replacement is never searched again.
/// An empty `find` returns the text unchanged.
std::string replace_all(std::string_view s, std::string_view find, std::string_view replacement);
/// Case-insensitive comparison of two texts, character by character.
bool iequals(std::string_view a, std::string_view b);

/// Byte offset of character `index` (0-based) and the byte length of the character there.
std::size_t byte_offset(std::string_view s, std::int64_t index);
/// Length in bytes of the character that starts at s[i] (1 for an invalid byte).
std::size_t char_size(std::string_view s, std::size_t i);
/// True when every byte sequence is valid UTF-8.
bool is_valid_utf8(std::string_view s);
/// Converts text to Windows-1252, one byte per character; characters outside the code page become '?'.
std::string to_cp1252(std::string_view utf8);
/// Converts Windows-1252 bytes to UTF-8 (the five unassigned bytes map to U+FFFD).
std::string from_cp1252(std::string_view bytes);
/// Converts code page 437 bytes (the zip format's legacy encoding) to UTF-8.
std::string from_cp437(std::string_view bytes);
/// Makes text valid UTF-8: each invalid byte becomes U+FFFD.
std::string make_valid_utf8(std::string_view s);

}  // namespace api32::text
