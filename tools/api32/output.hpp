// output.hpp - how the reference host prints listings, tables and values.
#pragma once

#include <string>

#include "api32/runtime/datastore.hpp"

namespace api32::tool {

/// The listing text, one row per line.
void print_listing(const std::string& listing);
/// The rows as a JSON array of objects with the nine fields named.
void print_listing_json(const std::string& listing);
/// A datastore with its column headers, columns aligned.
void print_table(const api32::datastore& table);
/// A JSON string literal.
std::string json_quote(const std::string& text);

}  // namespace api32::tool
