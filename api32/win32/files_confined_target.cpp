// files_confined_target.cpp - from a caller's Windows target path to the base folder it chose and the
// components below it that came from an archive.
#include <cstring>

#include "api32/runtime/text.hpp"
#include "api32/win32/files_confined.hpp"
#include "api32/win32/paths.hpp"

namespace api32::win32 {
namespace {

struct name_part {
  std::size_t start;
  std::string_view text;
};

// The non-empty components of a name, either separator, with their positions.
std::vector<name_part> parts_of(std::string_view name) {
  std::vector<name_part> parts;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find_first_of("\\/", start);
    if (end == std::string_view::npos) end = name.size();
    if (end > start && name.substr(start, end - start) != ".")
      parts.push_back({start, name.substr(start, end - start)});
    start = end + 1;
  }
  return parts;
}

}  // namespace

confined_target split_confined_target(const std::string& filepath, const std::string& entry_name) {
  confined_target target;
  if (filepath.empty() || filepath.back() == '\\' || filepath.back() == '/') {
    target.refusal = "the target names a folder, not a file";
    return target;
  }
  const auto path = parts_of(filepath);
  const auto entry = parts_of(entry_name);
  bool repeats_entry = !entry.empty() && entry.size() <= path.size();
  for (std::size_t i = 0; repeats_entry && i < entry.size(); ++i) {
    const auto& p = path[path.size() - entry.size() + i].text;
    repeats_entry = text::lower(std::string(p)) == text::lower(std::string(entry[i].text));
  }
  const std::size_t walked = repeats_entry ? entry.size() : 1;
  std::string below;
  for (std::size_t i = path.size() - walked; i < path.size(); ++i) {
    target.components.emplace_back(path[i].text);
    below += (below.empty() ? "" : "/") + target.components.back();
  }
  if (!confined_components(below)) {
    target.refusal = "unsafe name (absolute, with a drive or \"..\")";
    return target;
  }
  target.base = filepath.substr(0, path[path.size() - walked].start);
  return target;
}

std::unique_ptr<confined_folder> open_confined_base(const std::string& base, std::string& error) {
  std::optional<std::string> native = base.empty() ? std::optional<std::string>(".") : to_native_path(base);
  if (!native) {
    error = "the folder " + base + " cannot be reached";
    return nullptr;
  }
  int code = 0;
  auto folder = confined_folder::open(*native, true, code);
  if (!folder) error = "the folder " + base + " cannot be made or opened: " + std::strerror(code);
  return folder;
}

std::unique_ptr<confined_folder> open_confined_base_existing(const std::string& base) {
  std::optional<std::string> native = base.empty() ? std::optional<std::string>(".") : to_native_path(base);
  int code = 0;
  return native ? confined_folder::open(*native, false, code) : nullptr;
}

bool confined_file_exists(const std::string& filepath, const std::string& entry_name) {
  auto target = split_confined_target(filepath, entry_name);
  auto base = target.refusal.empty() ? open_confined_base_existing(target.base) : nullptr;
  return base && base->open_file(target.components);
}

bool confined_remove(const std::string& base, const std::string& entry_name) {
  auto components = confined_components(entry_name);
  auto folder = components && !components->empty() ? open_confined_base_existing(base) : nullptr;
  return folder && folder->remove_file(*components);
}

}  // namespace api32::win32
