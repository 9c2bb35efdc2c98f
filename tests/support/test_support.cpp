// test_support.cpp - temporary folders, files and commands for the tests.
#include "support/test_support.hpp"

#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "api32/win32/paths.hpp"

namespace api32::testing {

temp_dir::temp_dir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/api32-test-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!::mkdtemp(buffer.data())) throw std::runtime_error("mkdtemp failed");
  path_ = buffer.data();
}

temp_dir::~temp_dir() {
  std::error_code ec;
  // make read-only files and folders removable first
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
  }
  std::filesystem::remove_all(path_, ec);
}

std::string temp_dir::windows(const std::string& relative) const {
  return win32::to_windows_path(relative.empty() ? path_ : path_ + "/" + relative);
}

void write_file(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

int run(const std::string& command) {
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string run_output(const std::string& command) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  ::pclose(pipe);
  return out;
}

std::string source_dir() {
  const char* dir = std::getenv("API32_SOURCE_DIR");
  return dir && *dir ? dir : API32_TEST_SOURCE_DIR;
}

std::string build_dir() {
  const char* dir = std::getenv("API32_BUILD_DIR");
  return dir && *dir ? dir : API32_TEST_BUILD_DIR;
}

recorded_boxes::recorded_boxes() : recorder_(std::make_shared<recording_presenter>()), guard_(recorder_) {}

int open_descriptor_count() {
  int count = 0;
  if (DIR* dir = ::opendir("/proc/self/fd")) {
    while (dirent* e = ::readdir(dir))
      if (e->d_name[0] != '.') ++count;
    ::closedir(dir);
  }
  return count - 1;  // the descriptor of the listing itself
}

std::vector<std::string> tree(const std::string& root) {
  std::vector<std::string> paths;
  std::error_code error;
  for (auto it = std::filesystem::recursive_directory_iterator(root, error);
       !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    std::string path = it->path().lexically_relative(root).generic_string();
    if (it->is_symlink()) path += " -> " + std::filesystem::read_symlink(it->path()).string();
    paths.push_back(std::move(path));
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

void swap_folder_for_link(const std::string& folder, const std::string& moved_to, const std::string& link_target) {
  std::filesystem::rename(folder, moved_to);
  std::filesystem::create_directory_symlink(link_target, folder);
}

}  // namespace api32::testing
