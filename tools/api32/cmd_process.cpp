// cmd_process.cpp - run and find-process.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "api32/process/uo_nv_process.hpp"
#include "api32/runtime/values.hpp"
#include "api32/win32/cmdline.hpp"
#include "api32/win32/kernel_object.hpp"
#include "api32/win32/process.hpp"
#include "commands.hpp"
#include "host_setup.hpp"

namespace api32::tool {
namespace {

// The status of a run whose program was ended because the time-out ran out, as timeout(1) gives it.
constexpr int timed_out_status = 124;

struct run_options {
  bool no_wait = false;
  std::string timeout;
  bool hide = false;
  std::string dir;
  std::string priority;
  std::string window;
  std::vector<std::uint32_t> position;
  std::vector<std::uint32_t> size;
  bool empty_env = false;
  std::vector<std::string> command;
};

int run(const run_options& o) {
  api32::uo_nv_process process;
  if (!o.priority.empty()) {
    std::uint32_t p = o.priority == "idle"       ? api32::uo_nv_process::idle_priority_class
                      : o.priority == "normal"   ? api32::uo_nv_process::normal_priority_class
                      : o.priority == "high"     ? api32::uo_nv_process::high_priority_class
                      : o.priority == "realtime" ? api32::uo_nv_process::realtime_priority_class
                                                 : 0;
    if (process.of_setpriority(p) != 1) {
      fail("--priority takes idle, normal, high or realtime");
      return 2;
    }
  }
  if (!o.window.empty() && process.of_setwindow(o.window) != 1) {
    fail("--window takes normal, maximize, minimize, hide or off");
    return 2;
  }
  if (o.position.size() == 2) process.of_setposition(o.position[0], o.position[1]);
  if (o.size.size() == 2) process.of_setsize(o.size[0], o.size[1]);
  if (!o.timeout.empty()) {
    auto seconds = api32::decimal::parse(o.timeout);
    if (!seconds || process.of_settimeout(*seconds) != 1) {
      fail("--timeout takes seconds (-1 or more)");
      return 2;
    }
  }
  // the program keeps its arguments exactly: the line is built by the Windows quoting rules
  std::vector<std::string> command = o.command;
  if (!command.empty() && command[0].find('/') != std::string::npos) command[0] = windows_path(command[0]);
  std::string line = api32::win32::build_command_line(command);
  std::string dir = o.dir.empty() ? "" : windows_path(o.dir);
  std::int16_t rc = process.of_runandwait(line, "", dir, o.empty_env, !o.no_wait, o.hide);
  if (rc != 1) {
    fail("could not start: " + line);
    return 1;
  }
  if (o.no_wait) return 0;
  if (process.last_run_timed_out()) return timed_out_status;
  auto code = process.last_exit_code();
  if (!code) {
    fail("could not learn how the program ended: " + line);
    return 1;
  }
  return static_cast<int>(std::min<std::uint32_t>(*code, 255));  // a process's status has 8 bits
}

int find_process(const std::string& name, int nth) {
  api32::uo_nv_process process;
  std::uint32_t handle = process.of_isprocesseexist(name, static_cast<std::int16_t>(nth));
  if (handle == 0) {
    fail("no process " + name + (nth != 1 ? " (copy " + std::to_string(nth) + ")" : ""));
    return 1;
  }
  std::printf("%u\n", api32::win32::GetProcessId(handle));
  api32::win32::CloseHandle(handle);  // the caller owns the handle the lookup hands back
  return 0;
}

}  // namespace

void add_process_commands(CLI::App& app, int& status) {
  static run_options o;
  auto* r = app.add_subcommand("run",
                               "start a program (never through a shell), wait for it with a time-out; exits with the "
                               "program's status (255 for a larger code), 124 when the time-out ended it, 1 when it "
                               "could not start, 0 with --no-wait");
  r->add_flag("--no-wait", o.no_wait, "return as soon as the program started");
  r->add_option("--timeout", o.timeout, "seconds to wait before the program is ended (default: no time-out)");
  r->add_flag("--hide", o.hide, "start with the window hidden");
  r->add_option("--dir", o.dir, "working folder");
  r->add_option("--priority", o.priority, "idle|normal|high|realtime");
  r->add_option("--window", o.window, "normal|maximize|minimize|hide");
  r->add_option("--position", o.position, "X,Y")->delimiter(',')->expected(2);
  r->add_option("--size", o.size, "W,H")->delimiter(',')->expected(2);
  r->add_flag("--empty-env", o.empty_env, "start with an empty environment");
  r->add_option("COMMAND", o.command, "the program and its arguments (after --)")->required();
  r->callback([&status] { status = run(o); });

  static std::string name;
  static int nth = 1;
  auto* f = app.add_subcommand("find-process", "print the id of the n-th running process whose program name ends so");
  f->add_option("NAME", name, "program name, e.g. bash or BASH (the end of the name is compared)")->required();
  f->add_option("--nth", nth, "which running copy (1 = the first)");
  f->callback([&status] { status = find_process(name, nth); });
}

}  // namespace api32::tool
