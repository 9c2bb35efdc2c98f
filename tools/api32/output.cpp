// output.cpp - listings as text, JSON and tables; names from an archive escaped for a terminal or JSON.
#include "output.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "api32/runtime/text.hpp"

namespace api32::tool {
namespace {

std::vector<std::string> split(std::string_view text, std::string_view separator) {
  std::vector<std::string> parts;
  if (text.empty()) return parts;
  std::size_t from = 0;
  for (std::size_t at = text.find(separator); at != std::string::npos; at = text.find(separator, from)) {
    parts.emplace_back(text.substr(from, at - from));
    from = at + separator.size();
  }
  parts.emplace_back(text.substr(from));
  return parts;
}

// A control character at text[i]: a C0 control or DEL (one byte), or a C1 control (U+0080 to U+009F, two
// bytes of UTF-8). `size` is 0 when the character there is none.
struct control {
  unsigned code = 0;
  std::size_t size = 0;
};

control control_at(std::string_view text, std::size_t i) {
  auto c = static_cast<unsigned char>(text[i]);
  if (c < 0x20 || c == 0x7F) return {c, 1};
  if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
      static_cast<unsigned char>(text[i + 1]) < 0xA0)
    return {static_cast<unsigned char>(text[i + 1]), 2};
  return {};
}

const char* short_escape(unsigned code) {
  switch (code) {
    case '\t':
      return "\\t";
    case '\n':
      return "\\n";
    case '\r':
      return "\\r";
    default:
      return nullptr;
  }
}

void append_escape(std::string& out, const char* format, unsigned code) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, format, code);
  out += buffer;
}

// True for a size or ratio as the listing writes them (digits, a point): a JSON number as it stands.
bool is_number(std::string_view text) {
  return !text.empty() && text.front() != '.' && text.back() != '.' &&
         text.find_first_not_of("0123456789.") == std::string_view::npos &&
         std::count(text.begin(), text.end(), '.') <= 1;
}

const char* const field_names[] = {"name",       "type",   "datetime", "size", "ratio", "compressed_size",
                                   "attributes", "folder", "fullname"};
constexpr std::size_t field_count = std::size(field_names);

// The fields of the row that starts at `at` of `listing`, if the table's row `number` explains it: the row is
// the table's name, a tab, six fields, a tab, the table's folder, a tab and its full name, followed by CR LF or
// the listing's end. Of the six, only the file type (made from the name's extension) may hold tabs or line
// breaks, so the five after it are taken from the right. `at` moves to the next row.
bool row_fields(std::string_view listing, std::size_t& at, const api32::datastore& table, std::int32_t number,
                std::vector<std::string>& fields) {
  std::string name = table.getitemstring(number, "filename").value_or("");
  std::string folder = table.getitemstring(number, "filepath").value_or("");
  std::string fullname = table.getitemstring(number, "fullname").value_or("");
  std::string head = name + "\t";
  std::string tail = "\t" + folder + "\t" + fullname;
  if (listing.compare(at, head.size(), head) != 0) return false;
  std::size_t middle_start = at + head.size();
  for (std::size_t end = listing.find(tail, middle_start); end != std::string::npos;
       end = listing.find(tail, end + 1)) {
    std::size_t row_end = end + tail.size();
    if (row_end != listing.size() && listing.compare(row_end, 2, "\r\n") != 0) continue;
    std::string_view middle = listing.substr(middle_start, end - middle_start);
    std::vector<std::string> right;
    for (std::size_t tab; right.size() < 5 && (tab = middle.rfind('\t')) != std::string::npos;
         middle = middle.substr(0, tab))
      right.insert(right.begin(), std::string(middle.substr(tab + 1)));
    if (right.size() < 5) continue;
    fields = {name, std::string(middle)};
    fields.insert(fields.end(), right.begin(), right.end());
    fields.push_back(folder);
    fields.push_back(fullname);
    at = row_end == listing.size() ? row_end : row_end + 2;
    return true;
  }
  return false;
}

}  // namespace

std::string escape_controls(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    if (control k = control_at(text, i); k.size > 0) {
      if (const char* escape = short_escape(k.code))
        out += escape;
      else
        append_escape(out, k.size == 1 ? "\\x%02x" : "\\u%04x", k.code);
      i += k.size;
      continue;
    }
    std::size_t size = api32::text::char_size(text, i);
    if (size == 1 && static_cast<unsigned char>(text[i]) >= 0x80)  // a byte that is no part of UTF-8
      append_escape(out, "\\x%02x", static_cast<unsigned char>(text[i]));
    else
      out.append(text, i, size);
    i += size;
  }
  return out;
}

std::string json_quote(const std::string& text) {
  std::string valid = api32::text::make_valid_utf8(text);
  std::string out = "\"";
  for (std::size_t i = 0; i < valid.size();) {
    if (control k = control_at(valid, i); k.size > 0) {
      if (const char* escape = short_escape(k.code))
        out += escape;
      else
        append_escape(out, "\\u%04x", k.code);
      i += k.size;
      continue;
    }
    char c = valid[i++];
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::vector<std::vector<std::string>> listing_fields(const std::string& listing, const api32::datastore& table) {
  std::vector<std::vector<std::string>> rows;
  std::size_t at = 0;
  for (std::int32_t number = 1; at < listing.size(); ++number) {
    std::vector<std::string> fields;
    if (number > table.rowcount() || !row_fields(listing, at, table, number, fields)) break;
    rows.push_back(std::move(fields));
  }
  // what the table does not explain (a listing without its table): rows and fields as the separators split them
  for (const auto& row : split(std::string_view(listing).substr(at), "\r\n")) rows.push_back(split(row, "\t"));
  return rows;
}

void print_listing(const std::vector<std::vector<std::string>>& rows, bool escape) {
  for (const auto& fields : rows) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
      if (i) line += '\t';
      line += escape ? escape_controls(fields[i]) : fields[i];
    }
    std::printf("%s\n", line.c_str());
  }
}

void print_listing_json(const std::vector<std::vector<std::string>>& rows) {
  // one object per line, so that line-oriented tools can still take the rows apart
  std::printf("[");
  bool first = true;
  for (const auto& values : rows) {
    nlohmann::ordered_json row = nlohmann::ordered_json::object();
    for (std::size_t i = 0; i < field_count; ++i) {
      std::string value = api32::text::make_valid_utf8(i < values.size() ? values[i] : "");
      bool number = (i == 3 || i == 4 || i == 5) && is_number(value);
      if (number && value.find('.') == std::string::npos)
        row[field_names[i]] = std::strtoull(value.c_str(), nullptr, 10);
      else if (number)
        row[field_names[i]] = std::strtod(value.c_str(), nullptr);
      else
        row[field_names[i]] = value;
    }
    std::printf("%s\n  %s", first ? "" : ",", row.dump().c_str());
    first = false;
  }
  std::printf("%s]\n", first ? "" : "\n");
}

void print_table(const api32::datastore& table, bool escape) {
  const auto& columns = table.layout().columns;
  auto cell = [&](std::int32_t r, std::size_t c) {
    std::string value = table.getitemstring(r, columns[c].name).value_or("");
    return escape ? escape_controls(value) : value;
  };
  std::vector<std::size_t> widths;
  for (const auto& c : columns) widths.push_back(static_cast<std::size_t>(api32::text::len(c.header)));
  for (std::int32_t r = 1; r <= table.rowcount(); ++r)
    for (std::size_t c = 0; c < columns.size(); ++c)
      widths[c] = std::max(widths[c], static_cast<std::size_t>(api32::text::len(cell(r, c))));
  auto line = [&](auto text_of) {
    std::string out;
    for (std::size_t c = 0; c < columns.size(); ++c) {
      std::string value = text_of(c);
      out += value;
      if (c + 1 < columns.size())
        out += std::string(widths[c] - static_cast<std::size_t>(api32::text::len(value)) + 2, ' ');
    }
    std::printf("%s\n", out.c_str());
  };
  line([&](std::size_t c) { return columns[c].header; });
  for (std::int32_t r = 1; r <= table.rowcount(); ++r) line([&](std::size_t c) { return cell(r, c); });
}

}  // namespace api32::tool
