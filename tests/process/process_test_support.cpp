// process_test_support.cpp - the helper program, its reports, and counting our children.
#include "process_test_support.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "api32/win32/paths.hpp"
#include "api32/win32/process_internal.hpp"

namespace process_test {

namespace w = api32::win32;

std::string child_path() { return API32_PROCESS_CHILD; }
std::string child_windows() { return w::to_windows_path(child_path()); }

std::string report::get(const std::string& key) const {
  for (const auto& [k, v] : lines)
    if (k == key) return v;
  return "<missing>";
}

std::vector<std::string> report::all(const std::string& key) const {
  std::vector<std::string> out;
  for (const auto& [k, v] : lines)
    if (k == key) out.push_back(v);
  return out;
}

report read_report(const std::string& path) {
  report r;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    r.lines.emplace_back(line.substr(0, eq), line.substr(eq + 1));
  }
  return r;
}

children our_children() {
  children c;
  const pid_t self = ::getpid();
  DIR* dir = ::opendir("/proc");
  if (dir == nullptr) return c;
  while (dirent* e = ::readdir(dir)) {
    if (e->d_name[0] < '0' || e->d_name[0] > '9') continue;
    // read with plain calls: a process that ends meanwhile makes the read fail, which only skips it
    std::string path = std::string("/proc/") + e->d_name + "/stat";
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    char buffer[1024];
    ssize_t n = ::read(fd, buffer, sizeof buffer - 1);
    ::close(fd);
    if (n <= 0) continue;
    std::string text(buffer, static_cast<std::size_t>(n));
    auto close = text.rfind(')');
    if (close == std::string::npos || close + 4 > text.size()) continue;
    char state = text[close + 2];
    long ppid = std::strtol(text.c_str() + close + 4, nullptr, 10);
    if (ppid != self) continue;
    ++c.total;
    if (state == 'Z') ++c.zombies;
  }
  ::closedir(dir);
  return c;
}

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return condition();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

void copy_child(const std::string& path) {
  std::filesystem::copy_file(child_path(), path, std::filesystem::copy_options::overwrite_existing);
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

bool all_reaped() { return our_children().zombies == 0 && w::process_detail::reaper_pending() == 0; }

started::~started() {
  if (!ok) return;
  DWORD code = 0;
  if (w::GetExitCodeProcess(info.ul_process, &code) && code == w::STILL_ACTIVE) w::TerminateProcess(info.ul_process, 1);
  w::CloseHandle(info.ul_thread);
  w::CloseHandle(info.ul_process);
}

void start(started& out, const std::string& command_line, const start_options& options) {
  std::string line = command_line;
  api32::os_startupinfo si;
  si.ul_cb = sizeof si;
  out.ok = w::CreateProcessA(nullptr, line.data(), nullptr, nullptr, w::TRUE_, options.creation_flags,
                             options.environment, options.directory, &si, &out.info) != w::FALSE_;
  out.error = out.ok ? 0 : w::GetLastError();
}

}  // namespace process_test
