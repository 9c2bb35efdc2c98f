// process_test_support.hpp - what the process tests share: the helper program, its reports, our children.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "api32/win32/paths.hpp"
#include "api32/win32/process.hpp"

namespace process_test {

using api32::win32::DWORD;
using api32::win32::HANDLE;

/// The helper program (child.cpp), native path and Windows form.
std::string child_path();
std::string child_windows();

/// The lines "key=value" a helper wrote to a report file.
struct report {
  std::vector<std::pair<std::string, std::string>> lines;
  /// The first value of `key`, or "<missing>".
  std::string get(const std::string& key) const;
  std::vector<std::string> all(const std::string& key) const;
};
report read_report(const std::string& path);

/// Our own child processes as /proc lists them: all of them, and those that are zombies.
struct children {
  int total = 0;
  int zombies = 0;
};
children our_children();

/// Polls `condition` every few milliseconds until it holds or `limit` passes; its last answer.
bool eventually(const std::function<bool()>& condition,
                std::chrono::milliseconds limit = std::chrono::milliseconds(3000));

/// Nothing left to reap: no zombie child and no child handed to the reaper.
bool all_reaped();

/// A program started with CreateProcessA. When the object goes, a program still running is ended and both
/// handles are closed.
class started {
public:
  started() = default;
  started(const started&) = delete;
  started& operator=(const started&) = delete;
  ~started();
  bool ok = false;
  DWORD error = 0;  ///< GetLastError after a failed start
  api32::os_process_information info;
};

struct start_options {
  DWORD creation_flags = api32::win32::NORMAL_PRIORITY_CLASS;
  const void* environment = nullptr;
  const char* directory = nullptr;
};
/// Starts `command_line` (application name null) and fills `out`.
void start(started& out, const std::string& command_line, const start_options& options = {});

}  // namespace process_test

namespace process_test {

/// Maps a drive letter to a folder for the object's lifetime.
struct drive_guard {
  char letter;
  std::optional<std::string> old;
  drive_guard(char l, std::string root) : letter(l), old(api32::win32::drive_root(l)) {
    api32::win32::set_drive(l, std::move(root));
  }
  ~drive_guard() { api32::win32::set_drive(letter, old.value_or("")); }
};

/// Copies the helper program to `path` (executable).
void copy_child(const std::string& path);

}  // namespace process_test
