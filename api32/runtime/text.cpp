// text.cpp - character-counting text functions over UTF-8, and the single-byte code pages.
#include "api32/runtime/text.hpp"

#include <glib.h>

namespace api32::text {
namespace {

// Decodes the character at s[i]; returns its code point, or -1 for an invalid byte (size 1).
std::int32_t decode(std::string_view s, std::size_t i, std::size_t& size) {
  auto b = static_cast<unsigned char>(s[i]);
  size = 1;
  if (b < 0x80) return b;
  int extra;
  std::int32_t cp;
  if (b >= 0xC2 && b <= 0xDF) {
    extra = 1;
    cp = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    extra = 2;
    cp = b & 0x0F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    extra = 3;
    cp = b & 0x07;
  } else {
    return -1;
  }
  if (i + static_cast<std::size_t>(extra) >= s.size()) return -1;  // sequence cut off by the end
  for (int k = 1; k <= extra; ++k) {
    auto c = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
    if ((c & 0xC0) != 0x80) return -1;
    cp = (cp << 6) | (c & 0x3F);
  }
  // overlong forms, surrogates and values past U+10FFFF are invalid
  if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
    return -1;
  size = static_cast<std::size_t>(extra) + 1;
  return cp;
}

void append_utf8(std::string& out, std::uint32_t cp) {
  char buffer[8];
  int n = g_unichar_to_utf8(static_cast<gunichar>(cp), buffer);
  out.append(buffer, static_cast<std::size_t>(n));
}

template <class Map>
std::string map_case(std::string_view s, Map map) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    std::size_t size;
    std::int32_t cp = decode(s, i, size);
    if (cp < 0x80) {  // ASCII and invalid bytes: fast path, invalid bytes kept as they are
      char c = s[i];
      out.push_back(cp < 0 ? c : static_cast<char>(map(static_cast<gunichar>(c))));
    } else {
      append_utf8(out, map(static_cast<gunichar>(cp)));
    }
    i += size;
  }
  return out;
}

bool is_blank(char c, bool all) { return c == ' ' || (all && (c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f')); }

constexpr std::uint16_t cp1252_high[32] = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                           0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
                                           0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                           0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

constexpr std::uint16_t cp437_high[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC,
    0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00A2,
    0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310,
    0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C,
    0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF,
    0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2,
    0x25A0, 0x00A0};

}  // namespace

std::size_t char_size(std::string_view s, std::size_t i) {
  std::size_t size;
  decode(s, i, size);
  return size;
}

bool is_valid_utf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    std::size_t size;
    if (decode(s, i, size) < 0) return false;
    i += size;
  }
  return true;
}

std::int64_t len(std::string_view s) {
  std::int64_t n = 0;
  for (std::size_t i = 0; i < s.size(); i += char_size(s, i)) ++n;
  return n;
}

std::size_t byte_offset(std::string_view s, std::int64_t index) {
  std::size_t i = 0;
  for (std::int64_t k = 0; k < index && i < s.size(); ++k) i += char_size(s, i);
  return i;
}

std::string mid(std::string_view s, std::int64_t start, std::int64_t n) {
  if (start < 1) start = 1;
  std::size_t from = byte_offset(s, start - 1);
  if (from >= s.size() || n == 0) return {};
  if (n < 0) return std::string(s.substr(from));
  std::size_t to = from;
  for (std::int64_t k = 0; k < n && to < s.size(); ++k) to += char_size(s, to);
  return std::string(s.substr(from, to - from));
}

std::string left(std::string_view s, std::int64_t n) { return n <= 0 ? std::string() : mid(s, 1, n); }

std::string right(std::string_view s, std::int64_t n) {
  if (n <= 0) return {};
  std::int64_t total = len(s);
  if (n >= total) return std::string(s);
  return mid(s, total - n + 1);
}

std::int64_t pos(std::string_view s, std::string_view find, std::int64_t start) {
  if (find.empty()) return 0;
  if (start < 1) start = 1;
  std::size_t from = byte_offset(s, start - 1);
  if (from >= s.size()) return 0;
  std::size_t at = s.find(find, from);
  // a match must start on a character boundary; continue past matches inside a multi-byte character
  while (at != std::string_view::npos) {
    std::int64_t index = 0;
    std::size_t i = 0;
    for (; i < at; i += char_size(s, i)) ++index;
    if (i == at) return index + 1;
    at = s.find(find, at + 1);
  }
  return 0;
}

std::string upper(std::string_view s) { return map_case(s, g_unichar_toupper); }
std::string lower(std::string_view s) { return map_case(s, g_unichar_tolower); }

std::string lefttrim(std::string_view s, bool all) {
  std::size_t i = 0;
  while (i < s.size() && is_blank(s[i], all)) ++i;
  return std::string(s.substr(i));
}

std::string righttrim(std::string_view s, bool all) {
  std::size_t n = s.size();
  while (n > 0 && is_blank(s[n - 1], all)) --n;
  return std::string(s.substr(0, n));
}

std::string trim(std::string_view s, bool all) { return righttrim(lefttrim(s, all), all); }

std::string replace(std::string_view s, std::int64_t start, std::int64_t n, std::string_view replacement) {
  if (start < 1) start = 1;
  std::size_t from = byte_offset(s, start - 1);
  std::size_t to = from;
  for (std::int64_t k = 0; k < n && to < s.size(); ++k) to += char_size(s, to);
  std::string out(s.substr(0, from));
  out.append(replacement);
  out.append(s.substr(to));
  return out;
}

std::string fill(std::string_view s, std::int64_t n) {
  if (s.empty() || n <= 0) return {};
  std::string out;
  std::int64_t count = 0;
  while (count < n) {
    for (std::size_t i = 0; i < s.size() && count < n; ++count) {
      std::size_t size = char_size(s, i);
      out.append(s.substr(i, size));
      i += size;
    }
  }
  return out;
}

std::string replace_all(std::string_view s, std::string_view find, std::string_view replacement) {
  if (find.empty()) return std::string(s);
  std::string out;
  out.reserve(s.size());
  std::size_t from = 0;
  for (std::size_t at = s.find(find); at != std::string_view::npos; at = s.find(find, from)) {
    out.append(s.substr(from, at - from));
    out.append(replacement);
    from = at + find.size();
  }
  out.append(s.substr(from));
  return out;
}

bool iequals(std::string_view a, std::string_view b) {
  auto ascii = [](std::string_view s) {
    for (char c : s)
      if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
  };
  if (a.size() != b.size() && ascii(a) && ascii(b)) return false;
  if (a.size() == b.size()) {
    bool same = true;
    for (std::size_t i = 0; i < a.size() && same; ++i) {
      auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
      if (x >= 0x80 || y >= 0x80) {
        same = false;
        break;
      }
      if (g_ascii_tolower(static_cast<gchar>(x)) != g_ascii_tolower(static_cast<gchar>(y))) return false;
    }
    if (same) return true;
  }
  return lower(a) == lower(b);
}

std::string to_cp1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    std::size_t size;
    std::int32_t cp = decode(utf8, i, size);
    i += size;
    if (cp >= 0 && (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))) {
      out.push_back(static_cast<char>(cp));
      continue;
    }
    char mapped = '?';
    for (int k = 0; k < 32 && cp >= 0; ++k)
      if (cp1252_high[k] == cp && cp != 0xFFFD) mapped = static_cast<char>(0x80 + k);
    out.push_back(mapped);
  }
  return out;
}

std::string from_cp1252(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    auto b = static_cast<unsigned char>(c);
    if (b < 0x80) out.push_back(c);
    else if (b < 0xA0) append_utf8(out, cp1252_high[b - 0x80]);
    else append_utf8(out, b);
  }
  return out;
}

std::string from_cp437(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    auto b = static_cast<unsigned char>(c);
    if (b < 0x80) out.push_back(c);
    else append_utf8(out, cp437_high[b - 0x80]);
  }
  return out;
}

std::string make_valid_utf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    std::size_t size;
    std::int32_t cp = decode(s, i, size);
    if (cp < 0) append_utf8(out, 0xFFFD);
    else out.append(s.substr(i, size));
    i += size;
  }
  return out;
}

}  // namespace api32::text
