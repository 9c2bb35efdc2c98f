// entry_names.cpp - mask matching and name safety for entries.
#include "tools/rar/entry_names.hpp"

#include <cctype>

#include "api32/runtime/text.hpp"
#include "api32/win32/paths.hpp"

namespace rartool {
namespace {

std::vector<std::string> split_parts(std::string_view name) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find('/', start);
    if (end == std::string_view::npos) end = name.size();
    std::string_view part = name.substr(start, end - start);
    if (!part.empty() && part != ".") parts.emplace_back(part);
    start = end + 1;
  }
  return parts;
}

std::string_view trim_trailing_slashes(std::string_view s) {
  while (!s.empty() && s.back() == '/') s.remove_suffix(1);
  return s;
}

}  // namespace

std::string forward_slashes(std::string_view name) {
  std::string out(name);
  for (auto& c : out) {
    if (c == '\\') c = '/';
  }
  return out;
}

std::optional<std::vector<std::string>> safe_components(std::string_view raw) {
  const std::string name = forward_slashes(raw);
  if (!name.empty() && name.front() == '/') return std::nullopt;
  if (name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0]))) return std::nullopt;
  auto parts = split_parts(name);
  for (const auto& part : parts) {
    if (part == "..") return std::nullopt;
  }
  return parts;
}

bool mask_matches(std::string_view raw_mask, std::string_view raw_name) {
  if (raw_mask == "*" || raw_mask == "*.*") return true;
  const std::string mask = forward_slashes(raw_mask);
  const std::string name_text = forward_slashes(raw_name);
  const std::string_view name = trim_trailing_slashes(name_text);
  const bool wildcard = mask.find_first_of("*?") != std::string::npos;
  if (!wildcard) return api32::text::iequals(trim_trailing_slashes(mask), name);
  if (mask.find('/') != std::string::npos) return api32::win32::wildcard_match(mask, name);
  std::size_t slash = name.rfind('/');
  return api32::win32::wildcard_match(mask, slash == std::string_view::npos ? name : name.substr(slash + 1));
}

std::string clean_inner_path(std::string_view path) {
  std::string out;
  for (const auto& part : split_parts(forward_slashes(path))) {
    if (part == "..") continue;
    if (!out.empty()) out.push_back('/');
    out += part;
  }
  return out;
}

std::optional<std::string> below_inner_path(std::string_view inner_path, std::string_view entry_name) {
  if (inner_path.empty()) return std::string(entry_name);
  const std::string name = forward_slashes(entry_name);
  if (name.size() <= inner_path.size() + 1 || name[inner_path.size()] != '/') return std::nullopt;
  if (!api32::text::iequals(std::string_view(name).substr(0, inner_path.size()), inner_path)) return std::nullopt;
  return name.substr(inner_path.size() + 1);
}

}  // namespace rartool
