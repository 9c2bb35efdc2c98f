// host_services.cpp - the reference host's gnv_core, tr2 and application folder.
#include "api32/host/host_services.hpp"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>

#include "api32/runtime/files.hpp"
#include "api32/runtime/text.hpp"
#include "api32/win32/paths.hpp"

namespace api32::host {

std::int16_t listbox::additem(std::string item) {
  items_.push_back(std::move(item));
  return static_cast<std::int16_t>(std::min<std::size_t>(items_.size(), 32767));
}

std::int16_t listbox::reset() {
  items_.clear();
  return 1;
}

std::string uo_nv_core::of_globalreplace(std::string as_source, std::string as_old, std::string as_new) {
  return text::replace_all(as_source, as_old, as_new);
}

std::int16_t uo_nv_core::of_createpath(std::string as_base, std::string as_sub) {
  std::string whole = as_base + as_sub;
  if (whole.empty()) return -1;
  if (files::directory_exists(whole)) return 1;
  // create each missing level from the left, so every parent exists before its child
  for (std::size_t i = 0; i <= whole.size(); ++i) {
    if (i == whole.size() || whole[i] == '\\' || whole[i] == '/') {
      std::string level = whole.substr(0, i);
      if (level.empty() || (level.size() == 2 && level[1] == ':')) continue;
      if (!files::directory_exists(level)) files::create_directory(level);
    }
  }
  return files::directory_exists(whole) ? 1 : -1;
}

namespace {

void add_folder(const std::string& native, const std::string& relative, const std::string& mask, bool recursive,
                listbox& lb_file, listbox& lb_dirfile, int& count) {
  std::vector<std::pair<std::string, bool>> entries;
  if (DIR* dir = ::opendir(native.c_str())) {
    while (dirent* e = ::readdir(dir)) {
      std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      struct stat st;
      if (::lstat((native + "/" + name).c_str(), &st) != 0) continue;
      entries.emplace_back(name, S_ISDIR(st.st_mode));
    }
    ::closedir(dir);
  }
  std::sort(entries.begin(), entries.end());
  for (const auto& [name, is_dir] : entries) {
    if (is_dir) {
      if (win32::wildcard_match(mask, name)) lb_dirfile.additem(relative + name + "\\");
      if (recursive)
        add_folder(native + "/" + name, relative + name + "\\", mask, recursive, lb_file, lb_dirfile, count);
    } else if (win32::wildcard_match(mask, name)) {
      lb_file.additem(relative + name);
      ++count;
    }
  }
}

}  // namespace

std::int16_t uo_nv_core::of_directoryadd(std::string as_path, std::string as_prefix, listbox& lb_file,
                                         listbox& lb_dirfile, std::string as_mask, bool ab_recursive) {
  lb_file.reset();
  lb_dirfile.reset();
  auto native = win32::to_native_path(as_path);
  struct stat st;
  if (!native || ::stat(native->c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return -1;
  if (native->size() > 1 && native->back() == '/') native->pop_back();
  int count = 0;
  add_folder(*native, as_prefix, as_mask.empty() ? "*" : as_mask, ab_recursive, lb_file, lb_dirfile, count);
  return static_cast<std::int16_t>(std::min(count, 32767));
}

std::string running_program_folder() {
  std::string buffer(4096, '\0');
  ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return "Z:\\";
  buffer.resize(static_cast<std::size_t>(n));
  buffer.resize(buffer.rfind('/') + 1);
  std::string windows = win32::to_windows_path(buffer);
  if (windows.empty() || windows.back() != '\\') windows += '\\';
  return windows;
}

services& globals() {
  static services* instance = [] {
    auto* s = new services();
    s->app_path = running_program_folder();
    return s;
  }();
  return *instance;
}

void set_translation_table(std::map<std::string, std::string> table) {
  globals().tr2 = [table = std::move(table)](const std::string& s) {
    auto it = table.find(s);
    return it == table.end() ? s : it->second;
  };
}

}  // namespace api32::host
