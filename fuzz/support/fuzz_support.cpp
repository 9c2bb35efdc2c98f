// fuzz_support.cpp - scratch folder, quiet boxes and resource counts for the fuzz targets.
#include "fuzz/support/fuzz_support.hpp"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "api32/runtime/message_box.hpp"

namespace api32::fuzz {
namespace {

class null_presenter final : public message_presenter {
public:
  void show(const message&) override {}
};

std::string make_scratch() {
  // memory rather than disk when the caller names no folder: a run writes millions of small files
  std::string base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp) base = tmp;
  std::string pattern = base + "/api32-fuzz-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) fail("cannot make a scratch folder in " + base);
  return pattern;
}

struct scratch_folder {
  std::string path = make_scratch();
  ~scratch_folder() { remove_tree(path); }
};

}  // namespace

const std::string& scratch() {
  static scratch_folder folder;
  return folder.path;
}

void silence_message_boxes() { set_message_presenter(std::make_shared<null_presenter>()); }

void write_file(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) fail("cannot write " + path);
}

void remove_tree(const std::string& path) {
  std::error_code ignored;
  // the tree may hold folders without write or search permission: give them back before removing
  for (auto it = std::filesystem::recursive_directory_iterator(
           path, std::filesystem::directory_options::skip_permission_denied, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored) && !it->is_symlink(ignored))
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                   ignored);
  }
  std::filesystem::remove_all(path, ignored);
}

std::vector<std::string> folder_names(const std::string& path) {
  std::vector<std::string> names;
  if (std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(path.c_str()), ::closedir); dir) {
    while (dirent* entry = ::readdir(dir.get())) {
      std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(std::move(name));
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> tree_below(const std::string& root) {
  std::vector<std::string> paths;
  std::error_code error;
  for (auto it = std::filesystem::recursive_directory_iterator(root, error);
       !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    paths.push_back(std::filesystem::relative(it->path(), root, error).generic_string());
  }
  return paths;
}

bool holds_symlink(const std::string& path) {
  std::error_code error;
  if (std::filesystem::is_symlink(path, error)) return true;
  for (auto it = std::filesystem::recursive_directory_iterator(path, error);
       !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    if (it->is_symlink(error)) return true;
  }
  return false;
}

int open_descriptors() { return static_cast<int>(folder_names("/proc/self/fd").size()) - 1; }  // less opendir's

void fail(const std::string& what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace api32::fuzz
