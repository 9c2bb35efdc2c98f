// values_bridge.cpp - text forms of dates and times on the boundary, and the type labels of messages.
#include "api32/abi/values_bridge.hpp"

#include <charconv>

namespace api32::abi {
namespace {

bool number(std::string_view& text, std::size_t digits, int& out) {
  if (text.size() < digits) return false;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + digits, out);
  if (ec != std::errc() || ptr != text.data() + digits) return false;
  text.remove_prefix(digits);
  return true;
}

bool literal(std::string_view& text, char c) {
  if (text.empty() || text.front() != c) return false;
  text.remove_prefix(1);
  return true;
}

}  // namespace

bool parse_date(std::string_view text, api32::date& out) {
  api32::date d;
  if (!number(text, 4, d.year) || !literal(text, '-') || !number(text, 2, d.month) || !literal(text, '-') ||
      !number(text, 2, d.day) || !text.empty() || !d.valid())
    return false;
  out = d;
  return true;
}

bool parse_time(std::string_view text, api32::time& out) {
  api32::time t;
  if (!number(text, 2, t.hour) || !literal(text, ':') || !number(text, 2, t.minute) || !literal(text, ':') ||
      !number(text, 2, t.second))
    return false;
  if (!text.empty()) {
    if (!literal(text, '.') || text.empty() || text.size() > 6) return false;
    std::string digits(text);
    digits.resize(6, '0');
    std::string_view view = digits;
    if (!number(view, 6, t.microsecond)) return false;
  }
  if (!t.valid()) return false;
  out = t;
  return true;
}

bool parse_datetime(std::string_view text, api32::datetime& out) {
  std::size_t blank = text.find(' ');
  if (blank == std::string_view::npos) return false;
  api32::datetime dt;
  if (!parse_date(text.substr(0, blank), dt.date) || !parse_time(text.substr(blank + 1), dt.time)) return false;
  out = dt;
  return true;
}

const char* type_label(int32_t type) {
  switch (type) {
    case API32_NONE:
      return "none";
    case API32_INTEGER:
      return "integer";
    case API32_UINT:
      return "uint";
    case API32_LONG:
      return "long";
    case API32_ULONG:
      return "ulong";
    case API32_BOOLEAN:
      return "boolean";
    case API32_DECIMAL:
      return "decimal";
    case API32_DOUBLE:
      return "double";
    case API32_CHAR:
      return "char";
    case API32_STRING:
      return "string";
    case API32_BLOB:
      return "blob";
    case API32_DATE:
      return "date";
    case API32_TIME:
      return "time";
    case API32_DATETIME:
      return "datetime";
    case API32_STRING_ARRAY:
      return "string array";
    case API32_CHAR_ARRAY:
      return "char array";
    case API32_RECORD:
      return "record";
    case API32_OBJECT:
      return "object";
    default:
      return "unknown type";
  }
}

}  // namespace api32::abi
