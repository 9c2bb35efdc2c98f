// files_confined.cpp - the confined folder: opening its base, walking down by descriptors, matching existing
// names without regard to case, and starting files under temporary names.
#include "api32/win32/files_confined.hpp"

#include <dirent.h>
#include <linux/openat2.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

#include "api32/runtime/text.hpp"
#include "api32/win32/files_confined_internal.hpp"

namespace api32::win32 {
namespace {

constexpr int folder_flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// The base is the caller's folder: made with its missing parents, by name.
bool make_native_folders(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode) || (errno = ENOTDIR, false);
  std::string parent = path;
  while (parent.size() > 1 && parent.back() == '/') parent.pop_back();
  std::size_t slash = parent.rfind('/');
  if (slash != std::string::npos && slash > 0 && !make_native_folders(parent.substr(0, slash))) return false;
  return ::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
}

std::string joined(const std::vector<std::string>& parts, std::size_t count) {
  std::string path;
  for (std::size_t i = 0; i < count && i < parts.size(); ++i) path += (i ? "/" : "") + parts[i];
  return path;
}

bool is_link_at(int folder, const std::string& name) {
  struct stat st;
  return ::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
}

}  // namespace

namespace confined_detail {

int open_folder_below(int folder, const char* name) {
  if (use_openat2()) {
    open_how how{};
    how.flags = static_cast<std::uint64_t>(folder_flags);
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    long fd = ::syscall(SYS_openat2, folder, name, &how, sizeof how);
    if (fd >= 0 || errno != ENOSYS) return static_cast<int>(fd);
    note_openat2_missing();
  }
  return ::openat(folder, name, folder_flags);
}

}  // namespace confined_detail

confined_folder::confined_folder(unique_fd base) : base_(std::move(base)) {}
confined_folder::~confined_folder() = default;

std::unique_ptr<confined_folder> confined_folder::open(const std::string& base, bool create, int& error) {
  if (base.empty() || (create && !make_native_folders(base))) {
    error = base.empty() ? ENOENT : errno;
    return nullptr;
  }
  unique_fd fd(::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd) {
    error = errno;
    return nullptr;
  }
  return std::unique_ptr<confined_folder>(new confined_folder(std::move(fd)));
}

void confined_folder::remember(const std::string& key, const std::string& name) {
  auto it = names_.find(key);
  if (it != names_.end()) it->second.emplace(text::lower(name), name);
}

std::string confined_folder::existing_spelling(int folder, const std::string& key, const std::string& name) {
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
          if (entry != "." && entry != ".." && !is_confined_temporary(entry)) names.emplace(text::lower(entry), entry);
        }
        ::closedir(dir);
      } else {
        ::close(copy);
      }
    }
    it = names_.emplace(key, std::move(names)).first;
  }
  auto found = it->second.find(text::lower(name));
  return found == it->second.end() ? name : found->second;
}

confined_outcome confined_folder::walk(const std::vector<std::string>& components, std::size_t count, bool create,
                                       unique_fd& folder, std::vector<std::string>& real) {
  real.clear();
  for (std::size_t i = 0; i < count; ++i) {
    if (!confined_detail::valid_component(components[i])) return {confined_result::unsafe_name, EINVAL, {}};
  }
  folder = unique_fd(::openat(base_.get(), ".", folder_flags));
  if (!folder) return {confined_result::failed, errno, "."};
  std::string key;
  for (std::size_t i = 0; i < count; ++i) {
    const std::string name = existing_spelling(folder.get(), key, components[i]);
    real.push_back(name);
    const std::string child_key = key + "/" + name;
    unique_fd child(confined_detail::open_folder_below(folder.get(), name.c_str()));
    if (!child && errno == ENOENT && create) {
      if (::mkdirat(folder.get(), name.c_str(), 0777) != 0 && errno != EEXIST)
        return {confined_result::failed, errno, joined(real, real.size())};
      remember(key, name);
      names_[child_key];  // a folder made just now holds nothing to learn
      child = unique_fd(confined_detail::open_folder_below(folder.get(), name.c_str()));
    }
    if (!child) {
      const int error = errno;
      if (error == ELOOP || error == EXDEV || is_link_at(folder.get(), name))
        return {confined_result::link_in_the_way, ELOOP, joined(real, real.size())};
      return {confined_result::failed, error, joined(real, real.size())};
    }
    folder = std::move(child);
    key = child_key;
  }
  return {};
}

confined_outcome confined_folder::reach_parent(const std::vector<std::string>& components, bool create,
                                               parent_folder& parent) {
  if (components.empty() || !confined_detail::valid_component(components.back()))
    return {confined_result::unsafe_name, EINVAL, {}};
  if (auto walked = walk(components, components.size() - 1, create, parent.folder, parent.real); !walked) return walked;
  parent.key = parent.real.empty() ? std::string() : "/" + joined(parent.real, parent.real.size());
  parent.name = existing_spelling(parent.folder.get(), parent.key, components.back());
  parent.shown = parent.real.empty() ? parent.name : joined(parent.real, parent.real.size()) + "/" + parent.name;
  return {};
}

confined_outcome confined_folder::make_folder(const std::vector<std::string>& components) {
  unique_fd folder;
  std::vector<std::string> real;
  return walk(components, components.size(), true, folder, real);
}

confined_outcome confined_folder::create_file(const std::vector<std::string>& components, existing_target existing,
                                              unsigned mode, std::unique_ptr<confined_file>& file) {
  parent_folder parent;
  if (auto reached = reach_parent(components, true, parent); !reached) return reached;
  const unique_fd& folder = parent.folder;
  const std::string& name = parent.name;
  const std::string& shown = parent.shown;
  unique_fd replaced;
  struct stat st;
  mode_t keep_mode = 0;
  bool keeps_mode = false;
  if (::fstatat(folder.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    if (S_ISDIR(st.st_mode)) return {confined_result::failed, EISDIR, shown};
    if (existing == existing_target::keep) return {confined_result::exists, EEXIST, shown};
    if (existing == existing_target::replace_if_free && S_ISREG(st.st_mode)) {
      // as it would have to be to be overwritten in place: writable and not locked by another holder
      replaced =
          unique_fd(::openat(folder.get(), name.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
      if (!replaced || ::flock(replaced.get(), LOCK_EX | LOCK_NB) != 0)
        return {confined_result::busy, replaced ? EWOULDBLOCK : errno, shown};
      keep_mode = st.st_mode & 07777;
      keeps_mode = true;
    }
  }
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::string temp = confined_detail::temporary_name();
    unique_fd fd(::openat(folder.get(), temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (fd) {
      if (keeps_mode) ::fchmod(fd.get(), keep_mode);
      file.reset(new confined_file(*this, std::move(parent.folder), std::move(parent.real), std::move(temp),
                                   parent.name, std::move(fd), std::move(replaced)));
      return {};
    }
    if (errno != EEXIST) return {confined_result::failed, errno, shown};
  }
  return {confined_result::failed, EEXIST, shown};
}

unique_fd confined_folder::open_file(const std::vector<std::string>& components) {
  parent_folder parent;
  if (!reach_parent(components, false, parent)) return {};
  unique_fd fd(::openat(parent.folder.get(), parent.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat st;
  if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  return fd;
}

confined_outcome confined_folder::remove_file(const std::vector<std::string>& components) {
  parent_folder parent;
  if (auto reached = reach_parent(components, false, parent); !reached) return reached;
  if (::unlinkat(parent.folder.get(), parent.name.c_str(), 0) != 0)
    return {confined_result::failed, errno, parent.shown};
  if (auto it = names_.find(parent.key); it != names_.end()) it->second.erase(text::lower(parent.name));
  return {};
}

std::optional<std::int64_t> confined_folder::modified_time(const std::vector<std::string>& components) {
  unique_fd fd = open_file(components);
  struct stat st;
  if (!fd || ::fstat(fd.get(), &st) != 0) return std::nullopt;
  return static_cast<std::int64_t>(st.st_mtime);
}

std::optional<std::uint64_t> confined_folder::available_bytes() const {
  struct statvfs info;
  if (::fstatvfs(base_.get(), &info) != 0 || info.f_frsize == 0) return std::nullopt;
  return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

bool confined_folder::charge(std::uint64_t bytes) {
  if (limit_ != 0 && (bytes > limit_ || written_ > limit_ - bytes)) return false;
  written_ += bytes;
  return true;
}

}  // namespace api32::win32
