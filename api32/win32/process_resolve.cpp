// process_resolve.cpp - which program a command line starts: the Windows search for the program file, over
// the path mapping.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "api32/win32/paths.hpp"
#include "api32/win32/process_internal.hpp"

namespace api32::win32::process_detail {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

bool is_regular_file(const std::string& native) {
  struct stat st;
  return ::stat(native.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool is_directory(const std::string& native) {
  struct stat st;
  return ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string current_folder() {
  std::vector<char> buffer(4096);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE || buffer.size() > (1u << 20)) return ".";
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

std::string absolute(std::string native) {
  if (!native.empty() && native.front() == '/') return native;
  return current_folder() + "/" + native;
}

bool has_folder(std::string_view name) {
  return name.find_first_of("\\/") != std::string_view::npos || (name.size() >= 2 && name[1] == ':');
}

// The name as written and, when its last component has no extension, the name with ".exe": Linux
// programs have no extension, and Windows appends ".exe" to a name without one.
std::vector<std::string> spellings(std::string_view name) {
  std::vector<std::string> out{std::string(name)};
  std::size_t last = name.find_last_of("\\/:");
  std::string_view file = last == std::string_view::npos ? name : name.substr(last + 1);
  if (file.find('.') == std::string_view::npos) out.push_back(std::string(name) + ".exe");
  return out;
}

// A program given with a folder: through the path mapping, found without regard to case.
std::optional<std::string> find_with_folder(std::string_view name, DWORD& error) {
  for (const auto& spelling : spellings(name)) {
    auto native = to_native_path(spelling);
    if (!native) {
      error = GetLastError();
      continue;
    }
    if (is_regular_file(*native)) return absolute(*native);
    std::size_t slash = native->find_last_of('/');
    std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : native->substr(0, slash));
    error = is_directory(folder) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
  }
  return std::nullopt;
}

// A bare program name: the current folder, then each folder of PATH. Exact spellings are looked for in every
// folder first, so the common case costs a stat per folder and no folder listing.
std::optional<std::string> find_on_search_path(std::string_view name, DWORD& error) {
  std::vector<std::string> folders{current_folder()};
  if (const char* path = std::getenv("PATH")) {
    std::string_view rest = path;
    for (;;) {
      std::size_t colon = rest.find(':');
      std::string_view folder = rest.substr(0, colon);
      folders.push_back(folder.empty() ? current_folder() : std::string(folder));  // "" is the current folder
      if (colon == std::string_view::npos) break;
      rest.remove_prefix(colon + 1);
    }
  }
  auto names = spellings(name);
  for (const auto& folder : folders)
    for (const auto& spelling : names)
      if (std::string candidate = folder + "/" + spelling; is_regular_file(candidate)) return absolute(candidate);
  for (const auto& folder : folders)
    for (const auto& spelling : names)
      if (std::string candidate = resolve_case(folder + "/" + spelling); is_regular_file(candidate))
        return absolute(candidate);
  error = ERROR_FILE_NOT_FOUND;
  return std::nullopt;
}

std::optional<std::string> find_candidate(std::string_view name, DWORD& error) {
  if (name.empty()) {
    error = ERROR_FILE_NOT_FOUND;
    return std::nullopt;
  }
  return has_folder(name) ? find_with_folder(name, error) : find_on_search_path(name, error);
}

}  // namespace

std::optional<std::string> find_program(const char* application_name, std::string_view line) {
  if (application_name) {
    // Taken as it is: no search along PATH and no ".exe" added, as Windows does for this argument.
    auto native = to_native_path(application_name);
    if (!native) return std::nullopt;
    if (is_regular_file(*native)) return absolute(*native);
    SetLastError(is_directory(*native) ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND);
    return std::nullopt;
  }
  std::size_t start = 0;
  while (start < line.size() && is_blank(line[start])) ++start;
  line.remove_prefix(start);

  DWORD first_error = 0;
  DWORD error = ERROR_FILE_NOT_FOUND;
  if (!line.empty() && line.front() == '"') {
    std::size_t close = line.find('"', 1);
    auto found = find_candidate(line.substr(1, close == std::string_view::npos ? close : close - 1), error);
    if (!found) SetLastError(error);
    return found;
  }
  // Unquoted: each stretch up to a blank is a candidate, then the whole line, the shortest first.
  for (std::size_t i = 0; i <= line.size(); ++i) {
    bool end_of_candidate = i > 0 && !is_blank(line[i - 1]) && (i == line.size() || is_blank(line[i]));
    if (!end_of_candidate) continue;
    if (auto found = find_candidate(line.substr(0, i), error)) return found;
    if (first_error == 0) first_error = error;
  }
  SetLastError(first_error != 0 ? first_error : ERROR_FILE_NOT_FOUND);
  return std::nullopt;
}

}  // namespace api32::win32::process_detail
