// output.cpp - listings as text, JSON and tables.
#include "output.hpp"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <vector>

#include "api32/runtime/text.hpp"

namespace api32::tool {
namespace {

std::vector<std::string> split(const std::string& text, const std::string& separator) {
  std::vector<std::string> parts;
  if (text.empty()) return parts;
  std::size_t from = 0;
  for (std::size_t at = text.find(separator); at != std::string::npos; at = text.find(separator, from)) {
    parts.push_back(text.substr(from, at - from));
    from = at + separator.size();
  }
  parts.push_back(text.substr(from));
  return parts;
}

// The length of the UTF-8 character that starts `s`, 0 when no valid one does.
std::size_t utf8_sequence_length(std::string_view s) {
  auto lead = static_cast<unsigned char>(s[0]);
  std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  return s.size() >= length && api32::text::is_valid_utf8(s.substr(0, length)) ? length : 0;
}

}  // namespace

std::string escape_controls(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  char buffer[8];
  for (std::size_t i = 0; i < text.size();) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c == '\t' || c == '\n' || c == '\r') {
      out += c == '\t' ? "\\t" : c == '\n' ? "\\n" : "\\r";
      ++i;
    } else if (c < 0x20 || c == 0x7F) {
      std::snprintf(buffer, sizeof buffer, "\\x%02x", c);
      out += buffer;
      ++i;
    } else if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
    } else {
      std::size_t length = utf8_sequence_length(std::string_view(text).substr(i));
      if (length == 0) {  // not UTF-8
        std::snprintf(buffer, sizeof buffer, "\\x%02x", c);
        out += buffer;
        ++i;
      } else if (length == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {  // C1 controls
        std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned char>(text[i + 1]));
        out += buffer;
        i += 2;
      } else {
        out.append(text, i, length);
        i += length;
      }
    }
  }
  return out;
}

std::vector<std::vector<std::string>> listing_fields(const std::string& listing, const api32::datastore& table) {
  std::vector<std::vector<std::string>> rows;
  std::int32_t number = 0;
  for (const auto& row : split(listing, "\r\n")) {
    ++number;
    std::string name = table.getitemstring(number, "filename").value_or("");
    std::string folder = table.getitemstring(number, "filepath").value_or("");
    std::string fullname = table.getitemstring(number, "fullname").value_or("");
    std::string head = name + "\t";
    std::string tail = "\t" + folder + "\t" + fullname;
    std::vector<std::string> fields;
    if (row.size() >= head.size() + tail.size() && row.compare(0, head.size(), head) == 0 &&
        row.compare(row.size() - tail.size(), tail.size(), tail) == 0) {
      // type, date, size, ratio, compressed size, attributes: only the type (from the name) may hold a tab
      std::string middle = row.substr(head.size(), row.size() - head.size() - tail.size());
      std::vector<std::string> right;
      for (int i = 0; i < 5; ++i) {
        std::size_t tab = middle.rfind('\t');
        if (tab == std::string::npos) break;
        right.insert(right.begin(), middle.substr(tab + 1));
        middle.resize(tab);
      }
      fields.push_back(name);
      fields.push_back(middle);
      fields.insert(fields.end(), right.begin(), right.end());
      fields.push_back(folder);
      fields.push_back(fullname);
    }
    if (fields.size() != 9) fields = split(row, "\t");  // a row the table does not explain: as it stands
    rows.push_back(std::move(fields));
  }
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

std::string json_quote(const std::string& text) {
  std::string out = "\"";
  std::string valid = api32::text::make_valid_utf8(text);
  for (std::size_t i = 0; i < valid.size(); ++i) {
    auto c = static_cast<unsigned char>(valid[i]);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default: {
        // other controls, DEL and the C1 controls (U+0080 to U+009F) as \u escapes
        bool control = c < 0x20 || c == 0x7F;
        unsigned code = c;
        if (c == 0xC2 && i + 1 < valid.size() && static_cast<unsigned char>(valid[i + 1]) < 0xA0) {
          control = true;
          code = static_cast<unsigned char>(valid[++i]);
        }
        if (control) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x", code);
          out += buffer;
        } else {
          out += static_cast<char>(c);
        }
      }
    }
  }
  return out + "\"";
}

void print_listing_json(const std::vector<std::vector<std::string>>& rows) {
  static const char* fields[] = {"name",       "type",   "datetime", "size", "ratio", "compressed_size",
                                 "attributes", "folder", "fullname"};
  std::printf("[");
  bool first = true;
  for (const auto& values : rows) {
    std::printf("%s\n  {", first ? "" : ",");
    first = false;
    for (std::size_t i = 0; i < 9; ++i) {
      std::string value = i < values.size() ? values[i] : "";
      bool number = (i == 3 || i == 4 || i == 5) && !value.empty();
      std::printf("%s%s: %s", i ? ", " : "", json_quote(fields[i]).c_str(),
                  number ? value.c_str() : json_quote(value).c_str());
    }
    std::printf("}");
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
