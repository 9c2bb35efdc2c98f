// paths.cpp - Windows-path mapping: drive table, "." and ".." handling, case-insensitive lookup.
#include "api32/win32/paths.hpp"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "api32/runtime/text.hpp"
#include "api32/win32/last_error.hpp"

namespace api32::win32 {
namespace {

struct drive_table {
  std::mutex mutex;
  std::array<std::optional<std::string>, 26> roots;
  drive_table() {
    roots['Z' - 'A'] = "/";
    for (char c = 'A'; c <= 'Z'; ++c) {
      std::string name = std::string("API32_DRIVE_") + c;
      if (const char* value = std::getenv(name.c_str()); value && *value)
        roots[static_cast<std::size_t>(c - 'A')] = value;
    }
  }
};

drive_table& drives() {
  static drive_table table;
  return table;
}

std::string strip_trailing_slashes(std::string root) {
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  return root;
}

bool is_separator(char c) { return c == '\\' || c == '/'; }

bool exists_nofollow(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

std::string current_folder() {
  std::string buffer(4096, '\0');
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE || buffer.size() > (1u << 20)) return "/";
    buffer.resize(buffer.size() * 2);
  }
  buffer.resize(std::char_traits<char>::length(buffer.c_str()));
  return buffer;
}

// The drive letter and the components below its root for a native absolute path.
char drive_of(std::string_view native, std::string& below_root) {
  auto& table = drives();
  std::lock_guard lock(table.mutex);
  char best = 0;
  std::size_t best_length = 0;
  for (std::size_t i = 0; i < 26; ++i) {
    if (!table.roots[i]) continue;
    const std::string& root = *table.roots[i];
    bool matches = root == "/" || (native.substr(0, root.size()) == root &&
                                   (native.size() == root.size() || native[root.size()] == '/'));
    std::size_t length = root == "/" ? 0 : root.size();
    if (matches && (best == 0 || length > best_length)) {
      best = static_cast<char>('A' + i);
      best_length = length;
    }
  }
  if (best != 0) below_root = std::string(native.substr(best_length));
  return best;
}

void push_components(std::string_view rest, std::vector<std::string>& parts) {
  std::size_t i = 0;
  while (i < rest.size()) {
    while (i < rest.size() && is_separator(rest[i])) ++i;
    std::size_t j = i;
    while (j < rest.size() && !is_separator(rest[j])) ++j;
    std::string_view part = rest.substr(i, j - i);
    if (part.empty() || part == ".") {
    } else if (part == "..") {
      if (!parts.empty()) parts.pop_back();  // clamped at the root, as Windows does
    } else {
      parts.emplace_back(part);
    }
    i = j;
  }
}

}  // namespace

bool set_drive(char letter, std::string native_root) {
  int upper = std::toupper(static_cast<unsigned char>(letter));
  if (upper < 'A' || upper > 'Z') return false;
  auto& table = drives();
  std::lock_guard lock(table.mutex);
  auto& slot = table.roots[static_cast<std::size_t>(upper - 'A')];
  if (native_root.empty())
    slot.reset();
  else
    slot = strip_trailing_slashes(std::move(native_root));
  // Programs the library starts (the archiver among them) see the same drives: the table travels to them in
  // the environment, as API32_DRIVE_<X>.
  std::string name = std::string("API32_DRIVE_") + static_cast<char>(upper);
  if (slot && !(upper == 'Z' && *slot == "/"))
    ::setenv(name.c_str(), slot->c_str(), 1);
  else
    ::unsetenv(name.c_str());
  return true;
}

std::optional<std::string> drive_root(char letter) {
  int upper = std::toupper(static_cast<unsigned char>(letter));
  if (upper < 'A' || upper > 'Z') return std::nullopt;
  auto& table = drives();
  std::lock_guard lock(table.mutex);
  return table.roots[static_cast<std::size_t>(upper - 'A')];
}

bool is_unc_path(std::string_view p) { return p.size() >= 2 && is_separator(p[0]) && is_separator(p[1]); }

namespace {

// The names of recently searched folders, so that creating many new files in one folder does not read the
// whole folder for every name: each entry maps lower-cased names to their real spelling and is valid while
// the folder's modification time is the one it was read at. The library's own file functions report what
// they create (note_directory_entry), which keeps an entry valid across our own creations. An answer is
// checked with lstat before it is used, so a name that has gone since only costs a fresh read.
struct folder_names {
  dev_t device = 0;
  ino_t inode = 0;
  struct timespec modified {};
  std::unordered_map<std::string, std::string> names;  // lower-cased name -> real name
};

struct folder_cache {
  std::mutex mutex;
  std::unordered_map<std::string, folder_names> folders;
};

folder_cache& folders() {
  static auto* cache = new folder_cache();
  return *cache;
}

bool same_time(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool read_folder(const std::string& folder, const struct stat& st, folder_names& out) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
  if (!dir) return false;
  out = folder_names{};
  out.device = st.st_dev;
  out.inode = st.st_ino;
  out.modified = st.st_mtim;
  while (dirent* entry = ::readdir(dir.get())) {
    std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    auto [it, inserted] = out.names.emplace(text::lower(name), std::string(name));
    if (!inserted && std::string_view(it->second) > name) it->second = std::string(name);  // a stable choice
  }
  return true;
}

// The real spelling of `part` in `folder` when only a case variant of it exists there; "" when none does.
std::string case_variant(const std::string& folder, const std::string& part) {
  struct stat st;
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return {};
  std::string key = text::lower(part);
  auto& cache = folders();
  std::lock_guard lock(cache.mutex);
  for (int attempt = 0; attempt < 2; ++attempt) {
    auto& entry = cache.folders[folder];
    bool fresh =
        attempt == 1 || entry.inode != st.st_ino || entry.device != st.st_dev || !same_time(entry.modified, st.st_mtim);
    if (fresh) {
      if (cache.folders.size() > 256) {  // a bounded cache: start over rather than grow without end
        cache.folders.clear();
      }
      if (!read_folder(folder, st, cache.folders[folder])) {
        cache.folders.erase(folder);
        return {};
      }
    }
    auto& names = cache.folders[folder].names;
    auto it = names.find(key);
    if (it == names.end()) return {};  // the folder is as read (or changed by us only): no such name
    if (exists_nofollow(folder == "/" ? "/" + it->second : folder + "/" + it->second)) return it->second;
    if (fresh) return {};
  }
  return {};
}

}  // namespace

void note_directory_entry(std::string_view native_path) {
  std::string path(native_path);
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return;
  std::string folder = slash == 0 ? "/" : path.substr(0, slash);
  std::string name = path.substr(slash + 1);
  auto& cache = folders();
  std::lock_guard lock(cache.mutex);
  auto it = cache.folders.find(folder);
  if (it == cache.folders.end()) return;
  struct stat st;
  if (::stat(folder.c_str(), &st) != 0 || st.st_ino != it->second.inode) {
    cache.folders.erase(it);
    return;
  }
  it->second.names.emplace(text::lower(name), name);
  it->second.modified = st.st_mtim;  // the change was ours
}

std::string resolve_case(std::string_view native_path) {
  std::string path(native_path);
  if (path.empty() || exists_nofollow(path)) return path;
  bool absolute = path.front() == '/';
  bool trailing = path.size() > 1 && path.back() == '/';
  std::vector<std::string> parts;
  {
    std::size_t i = 0;
    while (i < path.size()) {
      while (i < path.size() && path[i] == '/') ++i;
      std::size_t j = path.find('/', i);
      if (j == std::string::npos) j = path.size();
      if (j > i) parts.emplace_back(path.substr(i, j - i));
      i = j;
    }
  }
  bool searching = true;
  std::string out;
  for (std::size_t k = 0; k < parts.size(); ++k) {
    const std::string& part = parts[k];
    std::string base = absolute ? (out.empty() ? "/" : out) : (out.empty() ? "." : out);
    std::string candidate = out.empty() ? (absolute ? "/" + part : part) : out + "/" + part;
    if (searching && !exists_nofollow(candidate) && part != "." && part != "..") {
      std::string found = case_variant(base, part);
      if (!found.empty())
        candidate = out.empty() ? (absolute ? "/" + found : found) : out + "/" + found;
      else
        searching = false;  // nothing below a missing component can exist
    }
    out = candidate;
  }
  if (out.empty()) out = absolute ? "/" : ".";
  if (trailing && out != "/") out += '/';
  return out;
}

std::optional<std::string> to_native_path(std::string_view p) {
  if (p.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return std::nullopt;
  }
  if (p.find('\0') != std::string_view::npos) {
    SetLastError(ERROR_INVALID_NAME);
    return std::nullopt;
  }
  // \\?\C:\... is the long-path form of C:\...; other \\ forms are network or device paths.
  if (p.size() >= 4 && p[0] == '\\' && p[1] == '\\' && p[2] == '?' && p[3] == '\\') {
    p.remove_prefix(4);
    if (p.empty()) {  // the prefix alone names nothing
      SetLastError(ERROR_PATH_NOT_FOUND);
      return std::nullopt;
    }
  }
  if (p.size() >= 2 && is_separator(p[0]) && is_separator(p[1])) {
    SetLastError(ERROR_BAD_NETPATH);
    return std::nullopt;
  }
  bool trailing = is_separator(p.back());
  if (p.front() == '/') {  // native absolute
    // A Windows tail joined to a native folder ("/games/" + "data\a.txt") is the usual mix: a backslash separates
    // here too, so a file name that holds a backslash is out of reach, as it is on Windows.
    std::string native(p);
    for (char& c : native)
      if (c == '\\') c = '/';
    return resolve_case(native);
  }
  std::string root;
  std::vector<std::string> parts;
  std::string_view rest = p;
  if (p.size() >= 2 && p[1] == ':' && std::isalpha(static_cast<unsigned char>(p[0]))) {
    auto mapped = drive_root(p[0]);
    if (!mapped) {
      SetLastError(ERROR_PATH_NOT_FOUND);
      return std::nullopt;
    }
    root = *mapped;
    rest = p.substr(2);
    if (rest.empty() || !is_separator(rest.front())) {
      // "C:name" is relative to the drive's current folder: ours when the current folder is on that drive
      std::string below;
      std::string cwd = current_folder();
      if (drive_of(cwd, below) == std::toupper(static_cast<unsigned char>(p[0]))) push_components(below, parts);
    }
  } else {
    std::string below;
    std::string cwd = current_folder();
    char drive = drive_of(cwd, below);
    if (drive == 0) {  // current folder outside every drive: use it natively
      root = "/";
      below = cwd;
    } else {
      root = *drive_root(drive);
    }
    if (!is_separator(p.front())) push_components(below, parts);  // relative to the current folder
  }
  push_components(rest, parts);
  std::string native = root == "/" ? "" : root;
  for (const auto& part : parts) native += "/" + part;
  if (native.empty()) native = "/";
  if (trailing && native.back() != '/') native += '/';
  return resolve_case(native);
}

std::string to_windows_path(std::string_view native) {
  if (native.empty() || native.front() != '/') {
    std::string out(native);
    for (char& c : out)
      if (c == '/') c = '\\';
    return out;
  }
  std::string below;
  char drive = drive_of(native, below);
  if (drive == 0) {  // no drive maps this path (Z: was removed): keep the native form
    return std::string(native);
  }
  std::string out;
  out += drive;
  out += ':';
  if (below.empty()) below = "/";
  for (char c : below) out += c == '/' ? '\\' : c;
  return out;
}

}  // namespace api32::win32

namespace api32::win32 {

bool wildcard_match(std::string_view pattern, std::string_view name) {
  if (pattern == "*.*" || pattern == "*") return true;
  std::string p = text::lower(pattern), n = text::lower(name);
  // a pattern ending in ".*" also matches names without a point, as on Windows
  if (p.size() >= 2 && p.compare(p.size() - 2, 2, ".*") == 0 && n.find('.') == std::string::npos)
    p.resize(p.size() - 2);
  // iterative matcher over characters (code points), with backtracking to the last '*'
  std::size_t pi = 0, ni = 0, star = std::string::npos, mark = 0;
  while (ni < n.size()) {
    if (pi < p.size() && p[pi] == '*') {
      star = pi++;
      mark = ni;
    } else if (pi < p.size() && p[pi] == '?') {
      ++pi;
      ni += text::char_size(n, ni);
    } else if (pi < p.size() && p[pi] == n[ni]) {
      ++pi;
      ++ni;
    } else if (star != std::string::npos) {
      pi = star + 1;
      mark += text::char_size(n, mark);
      ni = mark;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}

}  // namespace api32::win32
