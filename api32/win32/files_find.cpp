// files_find.cpp - FindFirstFileA, FindNextFileA and FindClose on Linux: "*" and "?" in the last component,
// matched without regard to case; a search is a handle-table entry of kind find.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "api32/runtime/text.hpp"
#include "api32/win32/files.hpp"
#include "api32/win32/files_internal.hpp"
#include "api32/win32/paths.hpp"

namespace api32::win32 {
namespace {

// The entries a search has still to report, taken from the folder when the search began.
struct find_search {
  std::string folder;              // native folder, with a trailing "/"
  std::vector<std::string> names;  // matching names in the order they are reported
  std::size_t next = 0;
};

bool has_wildcards(std::string_view s) { return s.find_first_of("*?") != std::string_view::npos; }

// Fills a search record from a file's status; false when the file is gone.
bool fill_record(const std::string& native_path, std::string_view name, os_finddata& record) {
  detail::file_status status;
  if (!detail::query_status(native_path, status)) return false;
  os_finddata r{};
  r.ul_fileattributes = detail::attributes_of(native_path, status);
  r.str_creationtime = detail::filetime_from_timespec(status.creation);
  r.str_lastaccesstime = detail::filetime_from_timespec(status.access);
  r.str_lastwritetime = detail::filetime_from_timespec(status.write);
  std::uint64_t size = S_ISDIR(status.mode) ? 0 : status.size;  // folders report no size, as on Windows
  r.ul_filesizehigh = static_cast<std::uint32_t>(size >> 32);
  r.ul_filesizelow = static_cast<std::uint32_t>(size);
  std::size_t n = std::min(name.size(), sizeof r.ch_filename - 1);
  std::memcpy(r.ch_filename, name.data(), n);  // the rest stays NUL
  record = r;
  return true;
}

// Reports the next entry of the search that still exists.
bool report_next(find_search& search, os_finddata& record) {
  while (search.next < search.names.size()) {
    const std::string& name = search.names[search.next++];
    if (fill_record(search.folder + name, name, record)) return true;
  }
  return false;
}

// NTFS reports "." and ".." first, then names in case-insensitive order; readdir order is arbitrary.
void order_like_windows(std::vector<std::string>& names) {
  auto rank = [](const std::string& n) { return n == "." ? 0 : n == ".." ? 1 : 2; };
  std::sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
    if (rank(a) != rank(b)) return rank(a) < rank(b);
    std::string la = text::lower(a), lb = text::lower(b);
    return la != lb ? la < lb : a < b;
  });
}

}  // namespace

// Windows: the first entry matching the name ("*" "?" in the last component only) and a search handle;
// INVALID_HANDLE_VALUE, the record left as it was, with ERROR_FILE_NOT_FOUND (no match), ERROR_PATH_NOT_FOUND
// (no folder), ERROR_INVALID_NAME (wildcards in a folder) or ERROR_FILENAME_EXCED_RANGE (over 260 characters).
// Here matches come in NTFS order: "." and ".." first, then by name without regard to case.
HANDLE FindFirstFileA(std::string_view file_name, os_finddata* data) {
  if (!data) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  if (file_name.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  if (!detail::path_length_ok(file_name)) return INVALID_HANDLE_VALUE;
  // the folder part ends at the last separator; "C:name" is name in the current folder of C:
  std::size_t cut = file_name.find_last_of("\\/");
  std::string_view folder_part, pattern;
  if (cut != std::string_view::npos) {
    folder_part = file_name.substr(0, cut + 1);
    pattern = file_name.substr(cut + 1);
  } else if (file_name.size() >= 2 && file_name[1] == ':') {
    folder_part = file_name.substr(0, 2);
    pattern = file_name.substr(2);
  } else {
    folder_part = ".";
    pattern = file_name;
  }
  if (has_wildcards(folder_part)) {
    SetLastError(ERROR_INVALID_NAME);
    return INVALID_HANDLE_VALUE;
  }
  auto folder = to_native_path(folder_part);
  if (!folder) return INVALID_HANDLE_VALUE;
  struct stat st;
  if (::stat(folder->c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  if (folder->empty() || folder->back() != '/') folder->push_back('/');

  auto search = std::make_shared<find_search>();
  search->folder = *folder;
  os_finddata record;
  bool found = false;
  if (pattern.empty()) {  // "C:\dir\" names no entry
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  if (!has_wildcards(pattern)) {
    auto native = to_native_path(file_name);  // finds the entry without regard to case
    if (!native) return INVALID_HANDLE_VALUE;
    std::string_view name = detail::base_name(*native);
    if (name.empty() || name == "/") {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return INVALID_HANDLE_VALUE;
    }
    if (!fill_record(*native, name, record)) {
      SetLastError(detail::missing_path_error(*native, errno));
      return INVALID_HANDLE_VALUE;
    }
    found = true;
  } else {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder->c_str()), ::closedir);
    if (!dir) {
      set_last_error_from_errno();
      return INVALID_HANDLE_VALUE;
    }
    bool root = *folder == "/";  // a drive's root has no "." and ".." entries
    while (dirent* entry = ::readdir(dir.get())) {
      std::string_view name = entry->d_name;
      if (root && (name == "." || name == "..")) continue;
      if (wildcard_match(pattern, name)) search->names.emplace_back(name);
    }
    order_like_windows(search->names);
    found = report_next(*search, record);
  }
  if (!found) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  HANDLE handle = handles().add(handle_kind::find, std::move(search));
  if (handle == 0) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return INVALID_HANDLE_VALUE;
  }
  *data = record;
  return handle;
}

// Windows: the next entry of a search; FALSE with ERROR_NO_MORE_FILES after the last one, ERROR_INVALID_HANDLE
// for a value that is not an open search. The record is written only on success.
BOOL FindNextFileA(HANDLE search, os_finddata* data) {
  auto state = handles().get<find_search>(search, handle_kind::find);
  if (!state) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE_;
  }
  if (!data) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE_;
  }
  os_finddata record;
  if (!report_next(*state, record)) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE_;
  }
  *data = record;
  return TRUE_;
}

// Windows: ends a search; FALSE with ERROR_INVALID_HANDLE for a value that is not an open search (a file
// handle included: those close with CloseHandle).
BOOL FindClose(HANDLE search) {
  if (!handles().take<find_search>(search, handle_kind::find)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE_;
  }
  return TRUE_;
}

}  // namespace api32::win32
