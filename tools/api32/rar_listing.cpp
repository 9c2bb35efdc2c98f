// rar_listing.cpp - `list` of a RAR archive: the archiver's technical listing (rar.exe lt) read into the
// nine fields of a zip listing.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "api32/host/host_services.hpp"
#include "api32/runtime/registry.hpp"
#include "api32/runtime/text.hpp"
#include "archive_commands.hpp"
#include "host_setup.hpp"
#include "output.hpp"

extern char** environ;

namespace api32::tool {
namespace {

// Runs the program `argv[0]` (no shell) and collects its standard output; its exit status in `status`.
bool run_collecting(const std::vector<std::string>& argv, std::string& out, int& status) {
  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipe_fds[1]);
  if (rc != 0) {
    ::close(pipe_fds[0]);
    return false;
  }
  char buffer[64 * 1024];
  for (;;) {
    ssize_t n = ::read(pipe_fds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    out.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(pipe_fds[0]);
  int wait_status = 0;
  while (::waitpid(pid, &wait_status, 0) < 0 && errno == EINTR) {
  }
  status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
  return true;
}

// The type the registry gives a name's extension, as the zip listing shows it.
std::string file_type(const std::string& name) {
  std::size_t point = name.rfind('.');
  if (point == std::string::npos) return "File";
  std::string extension = name.substr(point + 1);
  std::string key =
      api32::registry::default_value("HKEY_CLASSES_ROOT\\" + api32::text::lower("." + extension)).value_or("");
  std::string type = key.empty() ? "" : api32::registry::default_value("HKEY_CLASSES_ROOT\\" + key).value_or("");
  return type.empty() ? api32::text::upper(extension) + " File" : type;
}

// The rows of `rar.exe lt` output: one per file (folders are left out, as in a zip listing).
std::vector<std::vector<std::string>> rows_of(const std::string& technical) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(technical);
  std::string line;
  std::vector<std::pair<std::string, std::string>> fields;
  auto flush = [&] {
    std::string name, type, size, packed, mtime, attributes;
    for (const auto& [key, value] : fields) {
      if (key == "Name") name = value;
      if (key == "Type") type = value;
      if (key == "Size") size = value;
      if (key == "Packed size") packed = value;
      if (key == "mtime") mtime = value;
      if (key == "Attributes") attributes = value;
    }
    fields.clear();
    if (name.empty() || type != "File") return;
    std::string windows = name;
    for (char& c : windows)
      if (c == '/') c = '\\';
    std::size_t slash = windows.rfind('\\');
    std::string base = slash == std::string::npos ? windows : windows.substr(slash + 1);
    std::string folder = slash == std::string::npos ? "" : windows.substr(0, slash + 1);
    unsigned long long size_value = std::strtoull(size.c_str(), nullptr, 10);
    unsigned long long packed_value = std::strtoull(packed.c_str(), nullptr, 10);
    char ratio[32] = "0";
    if (size_value > 0) std::snprintf(ratio, sizeof ratio, "%.3f", static_cast<double>(packed_value) / size_value);
    rows.push_back({base, file_type(base), mtime, size, ratio, packed, attributes, folder, windows});
  };
  while (std::getline(lines, line)) {
    if (line.empty()) {
      flush();
      continue;
    }
    std::size_t colon = line.find(": ");
    if (colon == std::string::npos) continue;
    std::string key = line.substr(0, colon);
    key.erase(0, key.find_first_not_of(' '));
    fields.emplace_back(key, line.substr(colon + 2));
  }
  flush();
  return rows;
}

}  // namespace

int list_rar(const archive_input& input, bool json, bool table) {
  std::string archiver = native_path(api32::host::globals().app_path + "lib\\rar.exe");
  std::string output;
  int status = 0;
  if (!run_collecting({archiver, "lt", windows_path(input.path())}, output, status)) {
    fail(input.shown() + ": the archiver " + archiver + " cannot be started: " + std::strerror(errno));
    return 1;
  }
  if (status != 0) {
    fail(input.shown() + ": the archiver cannot list it (exit status " + std::to_string(status) + ")");
    return 1;
  }
  auto rows = rows_of(output);
  if (json) {
    print_listing_json(rows);
  } else if (table) {
    fail("--table shows the d_zipfiles table, which the front-end fills for zip archives only");
    return 1;
  } else {
    print_listing(rows, ::isatty(STDOUT_FILENO) != 0);
  }
  return 0;
}

}  // namespace api32::tool
