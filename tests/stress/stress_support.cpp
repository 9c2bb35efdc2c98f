// stress_support.cpp - resource counts from /proc and the allocator, and the small tmpfs.
#include "stress_support.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include "api32/win32/handles.hpp"

#if defined(__SANITIZE_ADDRESS__)
#define API32_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define API32_ASAN 1
#endif
#endif
#ifdef API32_ASAN
// the sanitizer runtime's count of bytes in use (g++ ships no header for it)
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace stress {
namespace {

int count_entries(const char* folder) {
  int n = 0;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder), ::closedir);
  if (!dir) return -1;
  while (dirent* e = ::readdir(dir.get())) {
    if (e->d_name[0] != '.') ++n;
  }
  return n - 1;  // the descriptor of the listing itself
}

// Processes whose parent is this one, read from /proc/<pid>/stat ("pid (name) state ppid ...").
int count_children() {
  const pid_t self = ::getpid();
  int n = 0;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir("/proc"), ::closedir);
  if (!dir) return -1;
  while (dirent* e = ::readdir(dir.get())) {
    if (e->d_name[0] < '0' || e->d_name[0] > '9') continue;
    std::string path = std::string("/proc/") + e->d_name + "/stat";
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;  // ended meanwhile
    char buffer[512];
    ssize_t got = ::read(fd, buffer, sizeof buffer - 1);
    ::close(fd);
    if (got <= 0) continue;
    buffer[got] = '\0';
    const char* close_paren = std::strrchr(buffer, ')');
    if (close_paren == nullptr) continue;
    char state = 0;
    int ppid = 0;
    if (std::sscanf(close_paren + 1, " %c %d", &state, &ppid) == 2 && ppid == self) ++n;
  }
  return n;
}

std::size_t heap_in_use() {
#ifdef API32_ASAN
  return __sanitizer_get_current_allocated_bytes();
#else
  struct mallinfo2 info = ::mallinfo2();
  return info.uordblks + info.hblkhd;
#endif
}

}  // namespace

resources measure() {
  resources r;
  r.descriptors = count_entries("/proc/self/fd");
  r.handles = api32::win32::handles().count();
  r.children = count_children();
  r.heap_bytes = heap_in_use();
  return r;
}

std::ostream& operator<<(std::ostream& out, const resources& r) {
  return out << r.descriptors << " descriptors, " << r.handles << " handles, " << r.children << " children, "
             << r.heap_bytes << " heap bytes";
}

long count_from_env(const char* name, long fallback) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return fallback;
  char* end = nullptr;
  long n = std::strtol(value, &end, 10);
  return end != nullptr && *end == '\0' && n > 0 ? n : fallback;
}

small_filesystem::small_filesystem(const std::string& folder, std::size_t bytes) : folder_(folder) {
  std::filesystem::create_directories(folder_);
  // A namespace of our own needs a single-threaded process (ctest runs each test alone); without one the
  // mount is shared and only the destructor takes it away again.
  if (::unshare(CLONE_NEWNS) == 0) ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
  const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
  if (::mount("tmpfs", folder_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
    why_ = std::string("cannot mount a tmpfs here: ") + std::strerror(errno);
    return;
  }
  mounted_ = true;
}

small_filesystem::~small_filesystem() {
  if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
}

std::uint64_t small_filesystem::free_bytes() const {
  struct statvfs st;
  if (::statvfs(folder_.c_str(), &st) != 0) return 0;
  return std::uint64_t{st.f_bavail} * st.f_frsize;
}

}  // namespace stress
