// module_substitutes.cpp - libraries replaced by tables of entry points, by library name.
#include <mutex>
#include <string>

#include "api32/win32/module.hpp"
#include "api32/win32/module_internal.hpp"

namespace api32::win32 {
namespace {

struct substitute_table {
  std::mutex mutex;
  std::map<std::string, module_entry_points, std::less<>> by_name;
};

substitute_table& substitutes() {
  static substitute_table* table = new substitute_table();  // never destroyed: used until the process ends
  return *table;
}

}  // namespace

std::optional<module_entry_points> substitute_module(std::string library_name, module_entry_points entry_points) {
  auto& table = substitutes();
  std::lock_guard lock(table.mutex);
  std::optional<module_entry_points> previous;
  if (auto found = table.by_name.find(library_name); found != table.by_name.end()) {
    previous = std::move(found->second);
    found->second = std::move(entry_points);
  } else {
    table.by_name.emplace(std::move(library_name), std::move(entry_points));
  }
  return previous;
}

void remove_module_substitute(std::string_view library_name) {
  auto& table = substitutes();
  std::lock_guard lock(table.mutex);
  if (auto found = table.by_name.find(library_name); found != table.by_name.end()) table.by_name.erase(found);
}

scoped_module_substitute::scoped_module_substitute(std::string library_name, module_entry_points entry_points)
    : name_(std::move(library_name)), previous_(substitute_module(name_, std::move(entry_points))) {}

scoped_module_substitute::~scoped_module_substitute() {
  if (previous_) {
    substitute_module(name_, std::move(*previous_));
  } else {
    remove_module_substitute(name_);
  }
}

namespace detail {

std::optional<module_entry_points> find_module_substitute(std::string_view library_name) {
  auto& table = substitutes();
  std::lock_guard lock(table.mutex);
  if (auto found = table.by_name.find(library_name); found != table.by_name.end()) return found->second;
  return std::nullopt;
}

}  // namespace detail
}  // namespace api32::win32
