// toolhelp_snapshot.cpp - CreateToolhelp32Snapshot, Process32First and Process32Next over /proc.
//
// The snapshot reads /proc once, when it is taken; the walk only copies entries out of it.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string_view>
#include <vector>

#include "api32/win32/process_internal.hpp"

namespace api32::win32 {
namespace {

using process_detail::unique_fd;

class snapshot_object final : public kernel_object {
public:
  std::vector<str_processentry32> entries;
  std::mutex mutex;
  std::size_t next = 0;
};

// Reads the start of a /proc file below the process's folder into `buffer`: the byte count, or -1. One read
// is enough: the kernel builds these files whole, and only their start (the stat line, argv[0]) is wanted.
ssize_t read_start(int proc, const char* path, char* buffer, std::size_t size) {
  unique_fd fd(::openat(proc, path, O_RDONLY | O_CLOEXEC));
  if (!fd) return -1;
  ssize_t n;
  do {
    n = ::read(fd.get(), buffer, size);
  } while (n < 0 && errno == EINTR);
  return n;
}

std::string_view last_component(std::string_view path) {
  std::size_t cut = path.find_last_of("/\\");
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

// The Windows base priority of a priority class, from a nice value.
std::int32_t base_priority(long nice) {
  if (nice <= -20) return 24;  // realtime
  if (nice <= -10) return 13;  // high
  if (nice < 0) return 10;     // above normal
  if (nice == 0) return 8;     // normal
  if (nice < 19) return 6;     // below normal
  return 4;                    // idle
}

// One process: its stat line (parent, threads, nice, kernel name) and the executable's file name.
bool read_entry(int proc, std::string_view pid_text, str_processentry32& entry) {
  char path[64];
  char buffer[4096];
  auto at = [&](const char* leaf) {
    std::snprintf(path, sizeof path, "%.*s/%s", static_cast<int>(pid_text.size()), pid_text.data(), leaf);
    return path;
  };
  ssize_t n = read_start(proc, at("stat"), buffer, sizeof buffer - 1);
  if (n <= 0) return false;  // gone since the listing
  std::string_view stat(buffer, static_cast<std::size_t>(n));
  std::size_t open = stat.find('(');
  std::size_t close = stat.rfind(')');  // the name may itself hold ")" and blanks
  if (open == std::string_view::npos || close == std::string_view::npos || close < open) return false;
  std::string kernel_name(stat.substr(open + 1, close - open - 1));
  // Fields after the name, from field 3 (state): ppid is field 4, nice field 19, threads field 20.
  long fields[18] = {};
  std::size_t i = close + 2;
  for (int k = 0; k < 18 && i < stat.size(); ++k) {
    std::size_t end = stat.find(' ', i);
    if (end == std::string_view::npos) end = stat.size();
    if (k > 0) std::from_chars(stat.data() + i, stat.data() + end, fields[k]);
    i = end + 1;
  }
  std::uint32_t pid = 0;
  std::from_chars(pid_text.data(), pid_text.data() + pid_text.size(), pid);

  std::string exe_name;
  ssize_t link = ::readlinkat(proc, at("exe"), buffer, sizeof buffer);
  if (link > 0) {
    std::string_view target(buffer, static_cast<std::size_t>(link));
    constexpr std::string_view deleted = " (deleted)";
    if (target.ends_with(deleted)) target.remove_suffix(deleted.size());
    exe_name = last_component(target);
  } else {
    // Not ours to read (another user's process) or a kernel thread: argv[0], else the kernel's name.
    ssize_t m = read_start(proc, at("cmdline"), buffer, sizeof buffer - 1);
    if (m > 0) {
      std::string_view argv0(buffer, ::strnlen(buffer, static_cast<std::size_t>(m)));
      exe_name = last_component(argv0);
    }
    if (exe_name.empty()) exe_name = kernel_name;
  }

  entry = str_processentry32{};
  entry.dwsize = sizeof(str_processentry32);
  entry.th32processid = pid;
  entry.th32parentprocessid = static_cast<std::uint32_t>(fields[1]);
  entry.cntthreads = static_cast<std::uint32_t>(fields[17]);
  entry.pcpriclassbase = base_priority(fields[16]);
  std::size_t length = std::min(exe_name.size(), sizeof entry.szexefile - 1);
  std::memcpy(entry.szexefile, exe_name.data(), length);
  return true;
}

bool read_processes(std::vector<str_processentry32>& entries) {
  unique_fd proc(::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!proc) {
    set_last_error_from_errno();
    return false;
  }
  int listing_fd = ::dup(proc.get());
  DIR* listing = listing_fd >= 0 ? ::fdopendir(listing_fd) : nullptr;
  if (listing == nullptr) {
    if (listing_fd >= 0) ::close(listing_fd);
    set_last_error_from_errno();
    return false;
  }
  std::unique_ptr<DIR, int (*)(DIR*)> guard(listing, ::closedir);
  while (dirent* e = ::readdir(listing)) {
    std::string_view name = e->d_name;
    if (name.empty() || !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; })) continue;
    str_processentry32 entry;
    if (read_entry(proc.get(), name, entry)) entries.push_back(entry);
  }
  std::sort(entries.begin(), entries.end(),
            [](const auto& a, const auto& b) { return a.th32processid < b.th32processid; });
  return true;
}

BOOL copy_entry(HANDLE snapshot, str_processentry32* entry, bool first) {
  auto object = get_kernel_object<snapshot_object>(snapshot, handle_kind::snapshot);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE_;
  }
  if (entry == nullptr || entry->dwsize < sizeof(str_processentry32)) {
    SetLastError(ERROR_BAD_LENGTH);
    return FALSE_;
  }
  std::lock_guard lock(object->mutex);
  if (first) object->next = 0;
  if (object->next >= object->entries.size()) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE_;
  }
  std::uint32_t size = entry->dwsize;
  *entry = object->entries[object->next++];
  entry->dwsize = size;
  return TRUE_;
}

}  // namespace

HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD /*process_id*/) {
  try {
    auto snapshot = std::make_shared<snapshot_object>();
    if ((flags & TH32CS_SNAPPROCESS) != 0 && !read_processes(snapshot->entries)) return INVALID_HANDLE_VALUE;
    HANDLE handle = add_kernel_object(handle_kind::snapshot, std::move(snapshot));
    if (handle == 0) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return INVALID_HANDLE_VALUE;
    }
    return handle;
  } catch (...) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return INVALID_HANDLE_VALUE;
  }
}

BOOL Process32First(HANDLE snapshot, str_processentry32* entry) { return copy_entry(snapshot, entry, true); }
BOOL Process32Next(HANDLE snapshot, str_processentry32* entry) { return copy_entry(snapshot, entry, false); }

}  // namespace api32::win32
