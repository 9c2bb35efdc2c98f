// datastore.cpp - rows and columns of the host's table object.
#include "api32/runtime/datastore.hpp"

#include "api32/runtime/text.hpp"

namespace api32 {

void datastore::set_layout(table_layout shape) {
  layout_ = std::move(shape);
  rows_.clear();
}

int datastore::column_index(std::string_view name) const {
  for (std::size_t i = 0; i < layout_.columns.size(); ++i)
    if (text::iequals(layout_.columns[i].name, name)) return static_cast<int>(i);
  return -1;
}

std::int32_t datastore::insertrow(std::int32_t before) {
  if (layout_.columns.empty() || before < 0 || before > rowcount()) return -1;
  std::vector<std::optional<std::string>> row(layout_.columns.size());
  if (before == 0) {
    rows_.push_back(std::move(row));
    return rowcount();
  }
  rows_.insert(rows_.begin() + (before - 1), std::move(row));
  return before;
}

std::int32_t datastore::setitem(std::int32_t row, std::string_view column, std::string value) {
  int c = column_index(column);
  if (row < 1 || row > rowcount() || c < 0) return -1;
  rows_[static_cast<std::size_t>(row - 1)][static_cast<std::size_t>(c)] = std::move(value);
  return 1;
}

std::optional<std::string> datastore::getitemstring(std::int32_t row, std::string_view column) const {
  int c = column_index(column);
  if (row < 1 || row > rowcount() || c < 0) return std::nullopt;
  return rows_[static_cast<std::size_t>(row - 1)][static_cast<std::size_t>(c)];
}

std::int32_t datastore::deleterow(std::int32_t row) {
  if (row < 1 || row > rowcount()) return -1;
  rows_.erase(rows_.begin() + (row - 1));
  return 1;
}

std::int32_t datastore::reset() {
  rows_.clear();
  return 1;
}

}  // namespace api32
