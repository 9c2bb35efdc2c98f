// output.hpp - how the reference host prints listings, tables and values.
#pragma once

#include <string>
#include <vector>

#include "api32/runtime/datastore.hpp"

namespace api32::tool {

/// `text` with every control character (C0, DEL, C1) written as an escape (\t, \x1b, \u009b) and every byte
/// that is not UTF-8 as \xNN: names from an archive as a terminal may show them, never as commands to it.
std::string escape_controls(const std::string& text);

/// The nine fields of each row of a listing that of_cudwdirectory returned together with the rows it put in
/// `table`: the table's names tell where a name holding tabs or line breaks ends. Rows the table does not
/// explain are split at CR LF and tabs.
std::vector<std::vector<std::string>> listing_fields(const std::string& listing, const api32::datastore& table);

/// The listing, one row per line; names escaped (escape_controls) when `escape`.
void print_listing(const std::vector<std::vector<std::string>>& rows, bool escape);
/// The rows as a JSON array of objects with the nine fields named.
void print_listing_json(const std::vector<std::vector<std::string>>& rows);
/// A datastore with its column headers, columns aligned; values escaped when `escape`.
void print_table(const api32::datastore& table, bool escape);
/// A JSON string literal.
std::string json_quote(const std::string& text);

}  // namespace api32::tool
