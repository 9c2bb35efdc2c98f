// destination.cpp - walking, creating and renaming below the extraction folder with *at() calls.
#include "tools/rar/destination.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "api32/runtime/text.hpp"

namespace rartool {
namespace {

constexpr int folder_flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

bool make_native_folders(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode) || (errno = ENOTDIR, false);
  std::string parent = path;
  while (!parent.empty() && parent.back() == '/') parent.pop_back();
  std::size_t slash = parent.rfind('/');
  if (slash != std::string::npos && slash > 0 && !make_native_folders(parent.substr(0, slash))) return false;
  return ::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
}

}  // namespace

pending_file::pending_file(destination& owner, unique_fd folder, std::string folder_key, std::string temp_name,
                           std::string final_name, unique_fd file)
    : owner_(owner),
      folder_(std::move(folder)),
      folder_key_(std::move(folder_key)),
      temp_name_(std::move(temp_name)),
      final_name_(std::move(final_name)),
      file_(std::move(file)) {}

pending_file::~pending_file() { abort(); }

void pending_file::abort() {
  if (done_) return;
  done_ = true;
  file_.close();
  ::unlinkat(folder_.get(), temp_name_.c_str(), 0);
}

bool pending_file::commit(std::int64_t mtime_sec, long mtime_nsec, bool set_time, int& error) {
  if (set_time) {
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_NOW;
    times[1].tv_sec = static_cast<time_t>(mtime_sec);
    times[1].tv_nsec = mtime_nsec;
    ::futimens(file_.get(), times);  // a time the file system refuses is no reason to lose the file
  }
  if (!file_.close()) {
    error = errno;
    abort();
    return false;
  }
  if (::renameat(folder_.get(), temp_name_.c_str(), folder_.get(), final_name_.c_str()) != 0) {
    error = errno;
    abort();
    return false;
  }
  done_ = true;
  owner_.remember(folder_key_, final_name_);
  return true;
}

std::unique_ptr<destination> destination::open(const std::string& root, int& error) {
  if (!make_native_folders(root)) {
    error = errno;
    return nullptr;
  }
  unique_fd fd(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd) {
    error = errno;
    return nullptr;
  }
  return std::unique_ptr<destination>(new destination(std::move(fd)));
}

void destination::remember(const std::string& key, const std::string& name) {
  auto it = names_.find(key);
  if (it != names_.end()) it->second.emplace(api32::text::lower(name), name);
}

void destination::remember_empty_folder(const std::string& key) { names_[key]; }

std::string destination::resolve(int folder, const std::string& key, const std::string& name) {
  struct stat st;
  if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return name;
  auto it = names_.find(key);
  if (it == names_.end()) {
    // first miss in this folder: learn its names once
    std::unordered_map<std::string, std::string> names;
    int copy = ::openat(folder, ".", folder_flags);
    if (copy >= 0) {
      if (DIR* dir = ::fdopendir(copy)) {
        while (const dirent* e = ::readdir(dir)) {
          std::string entry = e->d_name;
          if (entry != "." && entry != "..") names.emplace(api32::text::lower(entry), entry);
        }
        ::closedir(dir);
      } else {
        ::close(copy);
      }
    }
    it = names_.emplace(key, std::move(names)).first;
  }
  auto found = it->second.find(api32::text::lower(name));
  return found == it->second.end() ? name : found->second;
}

place_outcome destination::walk(const std::vector<std::string>& components, std::size_t count, bool create,
                                unique_fd& folder, std::string& key) {
  folder = unique_fd(::openat(root_.get(), ".", folder_flags));
  key.clear();
  if (!folder) return {place_result::failed, errno, "."};
  for (std::size_t i = 0; i < count; ++i) {
    const std::string name = resolve(folder.get(), key, components[i]);
    const std::string child_key = key + "/" + name;
    unique_fd child(::openat(folder.get(), name.c_str(), folder_flags));
    if (!child && errno == ENOENT && create) {
      if (::mkdirat(folder.get(), name.c_str(), 0777) != 0 && errno != EEXIST)
        return {place_result::failed, errno, child_key.substr(1)};
      remember(key, name);
      remember_empty_folder(child_key);
      child = unique_fd(::openat(folder.get(), name.c_str(), folder_flags));
    }
    if (!child) {
      int error = errno;
      struct stat st;
      if (::fstatat(folder.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
        return {place_result::blocked, ELOOP, child_key.substr(1)};
      return {place_result::failed, error, child_key.substr(1)};
    }
    folder = std::move(child);
    key = child_key;
  }
  return {};
}

place_outcome destination::make_folder(const std::vector<std::string>& components) {
  unique_fd folder;
  std::string key;
  return walk(components, components.size(), true, folder, key);
}

place_outcome destination::create_file(const std::vector<std::string>& components, bool executable, bool overwrite,
                                       std::unique_ptr<pending_file>& file) {
  if (components.empty()) return {place_result::failed, EINVAL, ""};
  unique_fd folder;
  std::string key;
  place_outcome walked = walk(components, components.size() - 1, true, folder, key);
  if (walked.result != place_result::ok) return walked;
  const std::string name = resolve(folder.get(), key, components.back());
  const std::string shown = (key + "/" + name).substr(1);
  struct stat st;
  if (::fstatat(folder.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    if (S_ISDIR(st.st_mode)) return {place_result::failed, EISDIR, shown};
    if (!overwrite) return {place_result::exists, EEXIST, shown};
  }
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::string temp = "~rar" + random_suffix() + ".tmp";
    unique_fd fd(::openat(folder.get(), temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          executable ? 0777 : 0666));
    if (fd) {
      file = std::make_unique<pending_file>(*this, std::move(folder), key, temp, name, std::move(fd));
      return {};
    }
    if (errno != EEXIST) return {place_result::failed, errno, shown};
  }
  return {place_result::failed, EEXIST, shown};
}

unique_fd destination::open_file(const std::vector<std::string>& components) {
  if (components.empty()) return {};
  unique_fd folder;
  std::string key;
  if (walk(components, components.size() - 1, false, folder, key).result != place_result::ok) return {};
  const std::string name = resolve(folder.get(), key, components.back());
  unique_fd fd(::openat(folder.get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  struct stat st;
  if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  return fd;
}

}  // namespace rartool
