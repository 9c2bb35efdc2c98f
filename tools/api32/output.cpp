// output.cpp - listings as text, JSON and tables.
#include "output.hpp"

#include <algorithm>
#include <cstdio>
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

}  // namespace

void print_listing(const std::string& listing) {
  for (const auto& row : split(listing, "\r\n")) std::printf("%s\n", row.c_str());
}

std::string json_quote(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : api32::text::make_valid_utf8(text)) {
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
      default:
        if (c < 0x20) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
          out += buffer;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

void print_listing_json(const std::string& listing) {
  static const char* fields[] = {"name",       "type",   "datetime", "size", "ratio", "compressed_size",
                                 "attributes", "folder", "fullname"};
  std::printf("[");
  bool first = true;
  for (const auto& row : split(listing, "\r\n")) {
    auto values = split(row, "\t");
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

void print_table(const api32::datastore& table) {
  const auto& columns = table.layout().columns;
  std::vector<std::size_t> widths;
  for (const auto& c : columns) widths.push_back(static_cast<std::size_t>(api32::text::len(c.header)));
  for (std::int32_t r = 1; r <= table.rowcount(); ++r)
    for (std::size_t c = 0; c < columns.size(); ++c)
      widths[c] = std::max(
          widths[c], static_cast<std::size_t>(api32::text::len(table.getitemstring(r, columns[c].name).value_or(""))));
  auto line = [&](auto cell) {
    std::string out;
    for (std::size_t c = 0; c < columns.size(); ++c) {
      std::string value = cell(c);
      out += value;
      if (c + 1 < columns.size())
        out += std::string(widths[c] - static_cast<std::size_t>(api32::text::len(value)) + 2, ' ');
    }
    std::printf("%s\n", out.c_str());
  };
  line([&](std::size_t c) { return columns[c].header; });
  for (std::int32_t r = 1; r <= table.rowcount(); ++r)
    line([&](std::size_t c) { return table.getitemstring(r, columns[c].name).value_or(""); });
}

}  // namespace api32::tool
