// datastore.hpp - the host's table object: a layout of named string columns and rows of values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace api32 {

struct column {
  std::string name;    ///< the column's name, as setitem addresses it (compared without regard to case)
  std::string header;  ///< the header text shown above the column
};

/// A table layout (the host's DataWindow object): a name and its columns in order.
struct table_layout {
  std::string name;
  std::vector<column> columns;
};

class datastore {
public:
  datastore() = default;
  explicit datastore(table_layout shape) : layout_(std::move(shape)) {}

  const table_layout& layout() const { return layout_; }
  /// Replaces the layout; the rows are dropped.
  void set_layout(table_layout shape);

  /// Inserts an empty row before row `before` (1-based); 0 appends. Returns the new row's number, or -1
  /// for a row number out of range or a datastore without layout.
  std::int32_t insertrow(std::int32_t before);
  /// Sets a column of a row: 1, or -1 for a bad row or an unknown column.
  std::int32_t setitem(std::int32_t row, std::string_view column, std::string value);
  /// The value of a column of a row; nullopt for a bad row or column or a value never set.
  std::optional<std::string> getitemstring(std::int32_t row, std::string_view column) const;
  std::int32_t deleterow(std::int32_t row);
  std::int32_t rowcount() const { return static_cast<std::int32_t>(rows_.size()); }
  /// Drops every row: 1.
  std::int32_t reset();

  /// The 0-based index of a column, or -1.
  int column_index(std::string_view name) const;

private:
  table_layout layout_;
  std::vector<std::vector<std::optional<std::string>>> rows_;
};

}  // namespace api32
