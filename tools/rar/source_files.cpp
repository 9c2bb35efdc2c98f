// source_files.cpp - walking the folders an add command names.
#include "tools/rar/source_files.hpp"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <unordered_map>

#include "api32/runtime/text.hpp"
#include "api32/win32/paths.hpp"
#include "tools/rar/entry_names.hpp"
#include "tools/rar/rar5_writer.hpp"

namespace rartool {
namespace {

bool has_wildcard(std::string_view s) { return s.find_first_of("*?") != std::string_view::npos; }

std::vector<std::string> sorted_names(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (const dirent* e = ::readdir(dir)) {
      std::string name = e->d_name;
      if (name != "." && name != "..") names.push_back(std::move(name));
    }
    ::closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string base_name(const std::string& native) {
  std::string path = native;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

class collector {
public:
  collector(bool recurse, std::string inner, std::optional<file_identity> skip, status& st)
      : recurse_(recurse), inner_(std::move(inner)), skip_(skip), st_(st) {}

  void add_mask(const std::string& mask);
  std::vector<source_item> take() { return std::move(items_); }

private:
  void add(const std::string& native, const std::string& name, const struct stat& info);
  void add_tree(const std::string& native, const std::string& name, const struct stat& info);
  // Files (and with -r folders) below `folder` whose names match `pattern`.
  void walk(const std::string& folder, const std::string& prefix, const std::string& pattern, bool recurse);
  // stat of a walked entry, following a symbolic link to a file; false (reported) for what is not added.
  bool inspect(const std::string& native, struct stat& info);
  bool is_skipped(const struct stat& info) const {
    return skip_ && info.st_dev == skip_->device && info.st_ino == skip_->inode;
  }

  bool recurse_;
  std::string inner_;
  std::optional<file_identity> skip_;
  status& st_;
  std::vector<source_item> items_;
  std::unordered_map<std::string, std::size_t> by_name_;  // lower-cased archive name -> index in items_
  bool found_ = false;
};

void collector::add(const std::string& native, const std::string& raw_name, const struct stat& info) {
  if (is_skipped(info)) return;
  found_ = true;
  const std::string name = inner_.empty() ? raw_name : inner_ + "/" + raw_name;
  if (!rar5::is_safe_entry_name(name)) {
    st_.report(exit_code::warning, native + ": the name cannot be stored in the archive, skipped");
    return;
  }
  source_item item;
  item.native = native;
  item.name = name;
  item.directory = S_ISDIR(info.st_mode);
  item.size = item.directory ? 0 : static_cast<std::uint64_t>(info.st_size);
  item.mode = info.st_mode & 0777;
  item.mtime_sec = info.st_mtim.tv_sec;
  item.mtime_nsec = static_cast<std::uint32_t>(info.st_mtim.tv_nsec);
  const std::string key = api32::text::lower(name);
  auto [it, inserted] = by_name_.emplace(key, items_.size());
  if (inserted) {
    items_.push_back(std::move(item));
  } else {
    items_[it->second] = std::move(item);
  }
}

bool collector::inspect(const std::string& native, struct stat& info) {
  if (::lstat(native.c_str(), &info) != 0) return false;
  if (S_ISLNK(info.st_mode)) {
    if (::stat(native.c_str(), &info) != 0) {
      st_.report(exit_code::warning, native + ": broken symbolic link, skipped");
      return false;
    }
    if (S_ISDIR(info.st_mode)) {
      st_.report(exit_code::warning, native + ": symbolic link to a folder, not followed");
      return false;
    }
  }
  if (!S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) {
    st_.report(exit_code::warning, native + ": not a file or folder, skipped");
    return false;
  }
  return true;
}

void collector::add_tree(const std::string& native, const std::string& name, const struct stat& info) {
  add(native, name, info);
  walk(native, name + "/", "*", true);
}

void collector::walk(const std::string& folder, const std::string& prefix, const std::string& pattern, bool recurse) {
  for (const auto& entry : sorted_names(folder)) {
    const std::string native = (folder == "/" ? "" : folder) + "/" + entry;
    struct stat info;
    if (!inspect(native, info)) continue;
    const bool matches = api32::win32::wildcard_match(pattern, entry);
    if (S_ISREG(info.st_mode)) {
      if (matches) add(native, prefix + entry, info);
    } else if (recurse) {
      if (matches) add(native, prefix + entry, info);
      walk(native, prefix + entry + "/", pattern, true);
    }
  }
}

void collector::add_mask(const std::string& raw_mask) {
  std::string mask = raw_mask;
  while (mask.size() > 1 && (mask.back() == '\\' || mask.back() == '/') && mask[mask.size() - 2] != ':')
    mask.pop_back();
  const std::size_t cut = mask.find_last_of("\\/");
  std::string folder_part = cut == std::string::npos ? "" : mask.substr(0, cut + 1);
  std::string name_part = cut == std::string::npos ? mask : mask.substr(cut + 1);
  if (cut == std::string::npos && mask.size() >= 2 && mask[1] == ':' &&
      std::isalpha(static_cast<unsigned char>(mask[0]))) {
    folder_part = mask.substr(0, 2);  // "C:name" is a name in the drive's folder
    name_part = mask.substr(2);
  }
  const std::string prefix = stored_prefix(folder_part);
  auto folder = folder_part.empty() ? std::optional<std::string>(".") : api32::win32::to_native_path(folder_part);
  found_ = false;
  if (!folder) {
    st_.report(exit_code::warning, "cannot find " + raw_mask);
    return;
  }
  if (name_part.empty() || has_wildcard(name_part)) {
    walk(*folder, prefix, name_part.empty() ? "*" : name_part, recurse_);
  } else {
    auto native = api32::win32::to_native_path(mask);
    struct stat info;
    if (native && ::stat(native->c_str(), &info) == 0) {
      if (S_ISDIR(info.st_mode)) {
        add_tree(*native, prefix + base_name(*native), info);
      } else if (S_ISREG(info.st_mode)) {
        add(*native, prefix + base_name(*native), info);
      } else {
        st_.report(exit_code::warning, *native + ": not a file or folder, skipped");
      }
    }
    if (recurse_) {
      // a plain name with -r is looked for in every folder below as well
      for (const auto& entry : sorted_names(*folder)) {
        const std::string child = (*folder == "/" ? "" : *folder) + "/" + entry;
        struct stat child_info;
        if (::lstat(child.c_str(), &child_info) == 0 && S_ISDIR(child_info.st_mode))
          walk(child, prefix + entry + "/", name_part, true);
      }
    }
  }
  if (!found_) st_.report(exit_code::warning, "cannot find " + raw_mask);
}

}  // namespace

std::string stored_prefix(std::string_view folder_part) {
  std::string folder = forward_slashes(folder_part);
  if (folder.size() >= 2 && folder[1] == ':' && std::isalpha(static_cast<unsigned char>(folder[0]))) folder.erase(0, 2);
  std::string prefix = clean_inner_path(folder);
  return prefix.empty() ? prefix : prefix + "/";
}

std::vector<source_item> collect_sources(const std::vector<std::string>& masks, bool recurse,
                                         const std::string& inner_path, std::optional<file_identity> skip, status& st) {
  collector c(recurse, clean_inner_path(inner_path), skip, st);
  for (const auto& mask : masks) {
    if (!mask.empty()) c.add_mask(mask);
  }
  return c.take();
}

}  // namespace rartool
