// rar_runner.cpp - starting rar.exe for the tests with fork/exec (no shell, exact arguments).
#include "rar_runner.hpp"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "api32/win32/cmdline.hpp"
#include "support/test_support.hpp"
#include "tools/rar/rar5_writer.hpp"

namespace rartool::testing {

std::string rar_exe() { return api32::testing::build_dir() + "/lib/rar.exe"; }

std::string fixture(const std::string& name) { return api32::testing::source_dir() + "/tests/fixtures/rar/" + name; }

std::vector<std::string> arguments_of(const std::string& line) {
  auto args = api32::win32::split_command_line(line);
  if (!args.empty()) args.erase(args.begin());
  return args;
}

run_result run_rar(const std::vector<std::string>& args, const std::string& folder,
                   const std::vector<std::pair<std::string, std::string>>& env) {
  run_result result;
  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC) != 0) return result;
  const std::string program = rar_exe();
  std::vector<std::string> argv_text{"rar.exe"};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(pipe_fds[1], 2);
    if (::chdir(folder.c_str()) != 0) ::_exit(126);
    ::unsetenv("API32_CMDLINE");
    for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(pipe_fds[1]);
  if (pid < 0) {
    ::close(pipe_fds[0]);
    return result;
  }
  char buffer[4096];
  ssize_t got;
  while ((got = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR)) {
    if (got > 0) result.errors.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(pipe_fds[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::vector<std::string> tree(const std::string& folder) {
  namespace fs = std::filesystem;
  std::vector<std::string> out;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    std::string rel = it->path().lexically_relative(folder).string();
    if (it->is_symlink()) {
      rel += "@";
    } else if (it->is_directory()) {
      rel += "/";
    }
    out.push_back(rel);
  }
  std::sort(out.begin(), out.end());
  return out;
}

rartool::bytes file_bytes(const std::string& path) {
  std::string text = api32::testing::read_file(path);
  return rartool::bytes(text.begin(), text.end());
}

void write_rar5(const std::string& path, const std::vector<std::pair<std::string, std::string>>& entries) {
  memory_output out;
  rar5::writer w(out, rar5::name_policy::unchecked);
  ASSERT_TRUE(w.begin());
  for (const auto& [name, content] : entries) {
    rar5::entry_info e;
    e.name = name;
    e.size = content.size();
    e.mode = 0644;
    std::size_t given = 0;
    auto source = [&, &content = content](std::uint8_t* buffer, std::size_t room) -> std::int64_t {
      const std::size_t n = std::min(room, content.size() - given);
      std::copy_n(content.begin() + static_cast<std::ptrdiff_t>(given), n, buffer);
      given += n;
      return static_cast<std::int64_t>(n);
    };
    ASSERT_EQ(w.add_file(e, source), rar5::add_status::ok);
  }
  ASSERT_TRUE(w.finish());
  api32::testing::write_file(path, std::string(out.data().begin(), out.data().end()));
}

void write_hostile(const std::string& path, const std::vector<std::string>& names) {
  std::vector<std::pair<std::string, std::string>> entries;
  for (const auto& name : names) entries.emplace_back(name, name);
  write_rar5(path, entries);
}

}  // namespace rartool::testing
