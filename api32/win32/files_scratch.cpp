// files_scratch.cpp - private scratch folders, their removal by descriptor, and moving a file out of one.
#include "api32/win32/files_scratch.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace api32::win32 {
namespace {

// Empties the folder open as `folder` (its descriptor is consumed), sub-folders first; false when something
// could not be removed.
bool empty_folder(int folder) {
  DIR* dir = ::fdopendir(folder);
  if (!dir) {
    ::close(folder);
    return false;
  }
  bool emptied = true;
  while (dirent* e = ::readdir(dir)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat st;
    if (::fstatat(::dirfd(dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      emptied = false;
      continue;
    }
    if (S_ISDIR(st.st_mode)) {
      int child = ::openat(::dirfd(dir), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (child < 0 || !empty_folder(child) || ::unlinkat(::dirfd(dir), name.c_str(), AT_REMOVEDIR) != 0)
        emptied = false;
    } else if (::unlinkat(::dirfd(dir), name.c_str(), 0) != 0) {
      emptied = false;
    }
  }
  ::closedir(dir);
  return emptied;
}

}  // namespace

bool remove_folder_tree(const std::string& path) {
  std::string native = path;
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  int folder = ::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (folder < 0) return errno == ENOENT;
  bool emptied = empty_folder(folder);
  return ::rmdir(native.c_str()) == 0 && emptied;
}

std::unique_ptr<scratch_folder> scratch_folder::make(const std::string& parent, int& error) {
  std::string base = parent;
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  // the parent is the application's; made when missing (its own parent must exist)
  if (::mkdir(base.c_str(), 0777) != 0 && errno != EEXIST) {
    error = errno;
    return nullptr;
  }
  std::string name = base + "/call-XXXXXX";
  if (!::mkdtemp(name.data())) {  // a new folder, mode 0700, never one that was there before
    error = errno;
    return nullptr;
  }
  int code = 0;
  auto folder = confined_folder::open(name, false, code);
  if (!folder) {
    remove_folder_tree(name);
    error = code;
    return nullptr;
  }
  return std::unique_ptr<scratch_folder>(new scratch_folder(name + "/", std::move(folder)));
}

scratch_folder::scratch_folder(std::string path, std::unique_ptr<confined_folder> folder)
    : path_(std::move(path)), folder_(std::move(folder)) {}

scratch_folder::~scratch_folder() {
  folder_.reset();
  remove_folder_tree(path_);
}

confined_outcome scratch_folder::move_out(const std::vector<std::string>& from, confined_folder& target,
                                          const std::vector<std::string>& to, existing_target existing) {
  confined_outcome outcome;
  unique_fd source = folder_->open_file(from);
  if (!source) {
    outcome.result = confined_result::failed;
    outcome.error = ENOENT;
    return outcome;
  }
  std::unique_ptr<confined_file> file;
  if (!(outcome = target.create_file(to, existing, 0666, file))) return outcome;
  std::vector<std::uint8_t> block(65536);
  for (;;) {
    ssize_t got = ::read(source.get(), block.data(), block.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      outcome.result = confined_result::failed;
      outcome.error = errno;
      return outcome;  // the temporary goes with the file
    }
    if (got == 0) break;
    if (!(outcome = file->write(block.data(), static_cast<std::size_t>(got)))) return outcome;
  }
  return file->commit();  // the scratch copy goes with the folder
}

}  // namespace api32::win32
