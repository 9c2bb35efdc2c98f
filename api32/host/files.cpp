// files.cpp - the runtime's file functions over POSIX, with Windows paths mapped by win32/paths.
#include "api32/host/files.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <memory>
#include <string>

#include "api32/win32/handles.hpp"
#include "api32/win32/paths.hpp"

namespace api32::files {
namespace {

struct stream_file {
  int fd = -1;
  // replacement files only: the file written under a temporary name, the target it is renamed to on commit,
  // and the existing target, held locked until then
  std::string temporary;
  std::string target;
  int target_fd = -1;
  ~stream_file() {
    if (fd >= 0) ::close(fd);
    if (!temporary.empty()) ::unlink(temporary.c_str());  // never committed: discarded
    if (target_fd >= 0) ::close(target_fd);
  }
};

std::optional<std::string> native(std::string_view path) {
  auto mapped = win32::to_native_path(path);
  if (mapped && mapped->size() > 1 && mapped->back() == '/') mapped->pop_back();
  return mapped;
}

bool stat_path(std::string_view path, struct stat& st) {
  auto p = native(path);
  return p && ::stat(p->c_str(), &st) == 0;
}

std::string temporary_beside(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  return target + ".api32-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
}

ssize_t write_all(int fd, const std::uint8_t* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    ssize_t n = ::write(fd, data + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    done += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

}  // namespace

bool file_exists(std::string_view path) {
  struct stat st;
  return stat_path(path, st) && !S_ISDIR(st.st_mode);
}

bool directory_exists(std::string_view path) {
  struct stat st;
  return stat_path(path, st) && S_ISDIR(st.st_mode);
}

int create_directory(std::string_view path) {
  auto p = native(path);
  if (!p || ::mkdir(p->c_str(), 0777) != 0) return -1;
  win32::note_directory_entry(*p);
  return 1;
}

bool file_delete(std::string_view path) {
  auto p = native(path);
  struct stat st;
  if (!p || ::lstat(p->c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  return ::unlink(p->c_str()) == 0;
}

std::int64_t file_length(std::string_view path) {
  struct stat st;
  if (!stat_path(path, st) || S_ISDIR(st.st_mode)) return -1;
  return static_cast<std::int64_t>(st.st_size);
}

int file_copy(std::string_view source, std::string_view target, bool replace) {
  auto from = native(source);
  if (!from) return -1;
  int in = ::open(from->c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return -1;
  std::unique_ptr<int, void (*)(int*)> in_guard(&in, [](int* fd) { ::close(*fd); });
  struct stat st;
  if (::fstat(in, &st) != 0 || S_ISDIR(st.st_mode)) return -1;
  auto to = native(target);
  if (!to) return -2;
  struct stat existing;
  if (::stat(to->c_str(), &existing) == 0) {
    if (!replace || S_ISDIR(existing.st_mode)) return -2;
    if (existing.st_dev == st.st_dev && existing.st_ino == st.st_ino) return 1;  // copying a file onto itself
  }
  std::string temporary = temporary_beside(*to);
  int out = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 0777);
  if (out < 0) return -2;
  bool ok = true;
  std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[1 << 16]);
  for (;;) {
    ssize_t n = ::read(in, buffer.get(), 1 << 16);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ok = false;
      break;
    }
    if (n == 0) break;
    if (write_all(out, buffer.get(), static_cast<std::size_t>(n)) < 0) {
      ok = false;
      break;
    }
  }
  if (::close(out) != 0) ok = false;
  if (ok && ::rename(temporary.c_str(), to->c_str()) == 0) {
    win32::note_directory_entry(*to);
    return 1;
  }
  ::unlink(temporary.c_str());
  return ok ? -2 : -1;
}

int file_move(std::string_view source, std::string_view target) {
  auto from = native(source);
  struct stat st;
  if (!from || ::lstat(from->c_str(), &st) != 0) return -1;
  auto to = native(target);
  if (!to) return -2;
  struct stat existing;
  if (::lstat(to->c_str(), &existing) == 0) return -2;  // a move never replaces, as the runtime's does not
  if (::rename(from->c_str(), to->c_str()) == 0) {
    win32::note_directory_entry(*to);
    return 1;
  }
  if (errno != EXDEV || S_ISDIR(st.st_mode)) return -2;
  // across file systems: copy, then remove the source
  int copied = file_copy(source, target, false);
  if (copied != 1) return copied;
  ::unlink(from->c_str());
  return 1;
}

std::int32_t file_open(std::string_view path, file_access access, file_lock lock, write_mode mode) {
  auto p = native(path);
  if (!p) return -1;
  int flags = O_CLOEXEC;
  if (access == file_access::read)
    flags |= O_RDONLY;
  else
    flags |= O_WRONLY | O_CREAT | (mode == write_mode::replace ? O_TRUNC : O_APPEND);
  auto file = std::make_shared<stream_file>();
  // Lock before truncating: a file another holder locked must not be emptied under it.
  bool truncate_later = (flags & O_TRUNC) != 0 && lock != file_lock::shared;
  if (truncate_later) flags &= ~O_TRUNC;
  file->fd = ::open(p->c_str(), flags, 0666);
  if (file->fd < 0) return -1;
  if (access == file_access::write) win32::note_directory_entry(*p);
  struct stat st;
  if (::fstat(file->fd, &st) != 0 || S_ISDIR(st.st_mode)) return -1;
  if (lock != file_lock::shared && ::flock(file->fd, LOCK_EX | LOCK_NB) != 0) return -1;
  if (truncate_later && ::ftruncate(file->fd, 0) != 0) return -1;
  std::uint32_t number = win32::handles().add(win32::handle_kind::stream, file);
  return number == 0 ? -1 : static_cast<std::int32_t>(number);
}

std::int64_t file_read_some(std::int32_t file_number, std::uint8_t* buffer, std::size_t size) {
  auto file = win32::handles().get<stream_file>(static_cast<std::uint32_t>(file_number), win32::handle_kind::stream);
  if (!file) return -1;
  for (;;) {
    ssize_t n = ::read(file->fd, buffer, size);
    if (n < 0 && errno == EINTR) continue;
    return n;
  }
}

std::int64_t file_read_at(std::int32_t file_number, std::uint64_t offset, std::uint8_t* buffer, std::size_t size) {
  auto file = win32::handles().get<stream_file>(static_cast<std::uint32_t>(file_number), win32::handle_kind::stream);
  if (!file) return -1;
  for (;;) {
    ssize_t n = ::pread(file->fd, buffer, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    return n;
  }
}

std::int32_t file_read(std::int32_t file_number, blob& data) {
  data.resize(stream_block);
  std::int64_t n = file_read_some(file_number, data.data(), stream_block);
  if (n <= 0) {
    data.clear();
    return n == 0 ? -100 : -1;
  }
  data.resize(static_cast<std::size_t>(n));
  return static_cast<std::int32_t>(n);
}

std::int64_t file_write(std::int32_t file_number, const std::uint8_t* data, std::size_t size) {
  auto file = win32::handles().get<stream_file>(static_cast<std::uint32_t>(file_number), win32::handle_kind::stream);
  if (!file) return -1;
  return write_all(file->fd, data, size);
}

int file_close(std::int32_t file_number) {
  auto file = win32::handles().take<stream_file>(static_cast<std::uint32_t>(file_number), win32::handle_kind::stream);
  if (!file) return -1;
  int fd = file->fd;
  file->fd = -1;
  return ::close(fd) == 0 ? 1 : -1;
}

namespace {

// A short hidden name in the target's folder, so a target name near the length limit still gets one.
std::string temporary_in_folder_of(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  std::size_t slash = target.rfind('/');
  std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  return folder + ".api32-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".part";
}

}  // namespace

std::int32_t file_open_replacement(std::string_view path) {
  auto p = native(path);
  if (!p || p->empty() || p->back() == '/') return -1;
  auto file = std::make_shared<stream_file>();
  file->target = *p;
  struct stat existing;
  bool replaces_file = false;
  if (::lstat(p->c_str(), &existing) == 0) {
    if (S_ISDIR(existing.st_mode)) return -1;
    if (S_ISREG(existing.st_mode)) {
      // the target must be writable and free, as it would have to be to be overwritten in place
      file->target_fd = ::open(p->c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
      if (file->target_fd < 0 || ::flock(file->target_fd, LOCK_EX | LOCK_NB) != 0) return -1;
      replaces_file = true;
    }
  }
  for (int attempt = 0; attempt < 16 && file->fd < 0; ++attempt) {
    std::string temporary = temporary_in_folder_of(*p);
    file->fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (file->fd >= 0) {
      file->temporary = std::move(temporary);
    } else if (errno != EEXIST) {
      return -1;
    }
  }
  if (file->fd < 0 || ::flock(file->fd, LOCK_EX | LOCK_NB) != 0) return -1;
  if (replaces_file) ::fchmod(file->fd, existing.st_mode & 07777);  // the replacement keeps the old permissions
  std::uint32_t number = win32::handles().add(win32::handle_kind::stream, file);
  return number == 0 ? -1 : static_cast<std::int32_t>(number);
}

int file_commit(std::int32_t file_number) {
  auto number = static_cast<std::uint32_t>(file_number);
  auto open = win32::handles().get<stream_file>(number, win32::handle_kind::stream);
  if (!open || open->temporary.empty()) return -1;  // not a replacement file: left open
  auto file = win32::handles().take<stream_file>(number, win32::handle_kind::stream);
  if (!file) return -1;
  int fd = file->fd;
  file->fd = -1;
  if (::close(fd) != 0) return -1;  // the destructor removes the temporary file
  if (::rename(file->temporary.c_str(), file->target.c_str()) != 0) return -1;
  win32::note_directory_entry(file->target);
  file->temporary.clear();
  return 1;
}

}  // namespace api32::files
