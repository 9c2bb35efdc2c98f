// CreateProcessA: arguments reach the program literally (no shell), environment, folder, descriptors,
// priority, and the Windows program search; failures leave the output record alone.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <thread>

#include "api32/win32/cmdline.hpp"
#include "api32/win32/process_syscalls.hpp"
#include "process_test_support.hpp"
#include "support/test_support.hpp"

namespace w = api32::win32;
using namespace process_test;
using api32::testing::temp_dir;

namespace {

// Runs `line` to its end and returns what the helper reported to `out`.
report run_to_end(const std::string& line, const std::string& out, const start_options& options = {}) {
  started p;
  start(p, line, options);
  EXPECT_TRUE(p.ok) << "error " << p.error << " for " << line;
  if (p.ok) {
    EXPECT_EQ(w::WaitForSingleObject(p.info.ul_process, 10000), w::WAIT_OBJECT_0);
  }
  return read_report(out);
}

}  // namespace

TEST(CreateProcess, ArgumentsReachTheProgramLiterallyAndNoShellRuns) {
  temp_dir dir;
  const std::string payload = R"(; $(touch )" + dir.path() + R"(/dollar) `touch )" + dir.path() +
                              R"(/tick` "a b" 'c' C:\x\ "q\"r" | & >)" + dir.path() + "/redirect *";
  const std::string line = child_windows() + " out " + dir.path() + "/r print-args " + payload;
  auto r = run_to_end(line, dir / "r");
  EXPECT_EQ(r.all("arg"), w::split_command_line(line));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);  // only the report
}

TEST(CreateProcess, EnvironmentIsOursOrTheBlockPlusTheRawCommandLine) {
  temp_dir dir;
  ::setenv("API32_PROCESS_TEST_MARK", "inherited", 1);
  ::setenv("API32_CMDLINE", "stale value of our own", 1);
  const std::string line = child_windows() + " out " + (dir / "r") + " print-env";
  auto inherited = run_to_end(line, dir / "r").all("env");
  EXPECT_NE(std::find(inherited.begin(), inherited.end(), "API32_PROCESS_TEST_MARK=inherited"), inherited.end());
  EXPECT_EQ(std::count_if(inherited.begin(), inherited.end(), [](auto& e) { return e.starts_with("API32_CMDLINE="); }),
            1);
  EXPECT_NE(std::find(inherited.begin(), inherited.end(), "API32_CMDLINE=" + line), inherited.end());
  ::unsetenv("API32_CMDLINE");
  ::unsetenv("API32_PROCESS_TEST_MARK");

  std::uint32_t zero = 0;  // the address of a 32-bit zero: an empty environment
  std::filesystem::remove(dir / "r");
  EXPECT_EQ(run_to_end(line, dir / "r", {.environment = &zero}).all("env"),
            std::vector<std::string>{"API32_CMDLINE=" + line});

  const char block[] = "A=1\0=C:=C:\\games\0B=two words\0";  // "=C:" holds a drive's folder on Windows
  std::filesystem::remove(dir / "r");
  EXPECT_EQ(run_to_end(line, dir / "r", {.environment = block}).all("env"),
            (std::vector<std::string>{"A=1", "B=two words", "API32_CMDLINE=" + line}));
}

TEST(CreateProcess, WorkingFolderIsMappedOrOurs) {
  temp_dir dir;
  std::filesystem::create_directories(dir / "Work Dir");
  const std::string line = child_windows() + " out " + (dir / "r") + " print-cwd";
  std::string folder = w::to_windows_path(dir / "Work Dir");
  for (auto& c : folder) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));  // found without case
  EXPECT_EQ(run_to_end(line, dir / "r", {.directory = folder.c_str()}).get("cwd"), dir / "Work Dir");
  std::filesystem::remove(dir / "r");
  EXPECT_EQ(run_to_end(line, dir / "r").get("cwd"), std::filesystem::current_path().string());
}

TEST(CreateProcess, ChildHoldsOnlyDescriptorsZeroToTwo) {
  temp_dir dir;
  int inheritable = ::open(dir.path().c_str(), O_RDONLY);  // no O_CLOEXEC: exec alone would pass it on
  ASSERT_GE(inheritable, 3);
  auto fds = run_to_end(child_windows() + " out " + (dir / "r") + " print-fds", dir / "r").all("fd");
  ::close(inheritable);
  EXPECT_EQ(fds, (std::vector<std::string>{"0", "1", "2"}));
}

namespace {

int refuse_raise(int which, id_t who, int prio) {
  if (prio < 0) {
    errno = EPERM;
    return -1;
  }
  return w::real_process_calls().setpriority(which, who, prio);
}

// Whether this machine lets a thread raise its priority (root with CAP_SYS_NICE does).
bool may_raise_priority() {
  bool allowed = false;
  std::thread([&] { allowed = ::setpriority(PRIO_PROCESS, 0, -10) == 0; }).join();
  return allowed;
}

}  // namespace

TEST(CreateProcess, PriorityClassBecomesNiceValueAndARefusedRaiseStartsAtNormal) {
  temp_dir dir;
  if (::getpriority(PRIO_PROCESS, 0) != 0) GTEST_SKIP() << "needs to run at normal priority (nice 0)";
  const std::string line = child_windows() + " out " + (dir / "r") + " print-nice";
  auto nice_of = [&](DWORD flags) {
    std::filesystem::remove(dir / "r");
    return run_to_end(line, dir / "r", {.creation_flags = flags}).get("nice");
  };
  EXPECT_EQ(nice_of(w::IDLE_PRIORITY_CLASS), "19");
  EXPECT_EQ(nice_of(w::NORMAL_PRIORITY_CLASS), "0");
  EXPECT_EQ(nice_of(w::HIGH_PRIORITY_CLASS), may_raise_priority() ? "-10" : "0");
  {
    auto calls = w::real_process_calls();
    calls.setpriority = refuse_raise;
    w::scoped_process_syscalls refusing(calls);
    EXPECT_EQ(nice_of(w::REALTIME_PRIORITY_CLASS), "0");
    EXPECT_EQ(nice_of(w::IDLE_PRIORITY_CLASS), "19");
  }
  EXPECT_EQ(::getpriority(PRIO_PROCESS, 0), 0);  // the caller's own priority never moved
}

class ProgramSearch : public ::testing::Test {
protected:
  void SetUp() override {
    std::filesystem::create_directories(dir / "Sub Dir");
    std::filesystem::create_directories(dir / "bin");
    copy_child(dir / "Sub Dir/Tool.EXE");
    copy_child(dir / "bin/mytool");
    api32::testing::write_file(dir / "plain.exe", "not a program");  // not executable
    api32::testing::write_file(dir / "noshebang.exe", "touch " + dir.path() + "/ran-by-a-shell\n");
    std::filesystem::permissions(dir / "noshebang.exe", std::filesystem::perms::owner_all);
    old_path = ::getenv("PATH") ? ::getenv("PATH") : "";
    ::setenv("PATH", (dir.path() + "/bin:" + old_path).c_str(), 1);
  }
  void TearDown() override { ::setenv("PATH", old_path.c_str(), 1); }
  std::string report_args() const { return " out " + (dir / "r") + " print-args"; }
  temp_dir dir;
  std::string old_path;
};

TEST_F(ProgramSearch, FindsProgramsAsWindowsDoes) {
  const std::string tool = dir.windows("Sub Dir\\Tool.EXE");
  struct row {
    std::string line;
    const char* why;
  } rows[] = {
      {"\"" + dir.windows("SUB DIR\\tool.exe") + "\"", "quoted, any case"},
      {"\"" + dir.windows("Sub Dir\\Tool") + "\"", "\".exe\" added to a name without extension"},
      {dir.windows("Sub Dir\\Tool.EXE"), "unquoted with a blank: tried prefix by prefix"},
      {dir.path() + "/Sub Dir/Tool.EXE", "native path"},
      {"mytool", "along PATH"},
      {"MYTOOL", "along PATH, any case"},
  };
  for (const auto& r : rows) {
    std::filesystem::remove(dir / "r");
    const std::string line = r.line + report_args();
    auto args = run_to_end(line, dir / "r").all("arg");
    EXPECT_EQ(args, w::split_command_line(line)) << r.why;
  }
}

TEST_F(ProgramSearch, FailuresSetTheErrorAndLeaveTheRecordAlone) {
  struct row {
    std::string line;
    DWORD error;
  } rows[] = {
      {dir.windows("nothere.exe"), w::ERROR_FILE_NOT_FOUND},
      {dir.windows("nodir\\x.exe") + " /q", w::ERROR_PATH_NOT_FOUND},
      {"", w::ERROR_FILE_NOT_FOUND},
      {"   ", w::ERROR_FILE_NOT_FOUND},
      {"\"" + dir.windows("Sub Dir") + "\"", w::ERROR_FILE_NOT_FOUND},  // a folder is no program
      {"mytool.exe", w::ERROR_FILE_NOT_FOUND},
      {dir.windows("plain.exe"), w::ERROR_ACCESS_DENIED},
      {dir.windows("noshebang.exe"), w::ERROR_BAD_FORMAT},  // never handed to a shell
  };
  for (const auto& r : rows) {
    api32::os_process_information info{0xffffffffu, 0xffffffffu, 0xffffffffu, 0xffffffffu};
    api32::os_startupinfo si;
    std::string line = r.line;
    w::SetLastError(0xdeadbeef);
    EXPECT_EQ(w::CreateProcessA(nullptr, line.data(), nullptr, nullptr, w::TRUE_, 0, nullptr, nullptr, &si, &info),
              w::FALSE_)
        << r.line;
    EXPECT_EQ(w::GetLastError(), r.error) << r.line;
    EXPECT_EQ(info.ul_process, 0xffffffffu) << r.line;
  }
  EXPECT_FALSE(api32::testing::exists(dir / "ran-by-a-shell"));
}

TEST(CreateProcess, RefusesBadArguments) {
  temp_dir dir;
  api32::os_startupinfo si;
  api32::os_process_information info;
  std::string line = child_windows();
  std::string missing = dir.windows("missing");
  struct row {
    char* command;
    DWORD flags;
    const char* folder;
    api32::os_startupinfo* startup;
    DWORD error;
  } rows[] = {
      {nullptr, 0, nullptr, &si, w::ERROR_INVALID_PARAMETER},
      {line.data(), w::IDLE_PRIORITY_CLASS | w::HIGH_PRIORITY_CLASS, nullptr, &si, w::ERROR_INVALID_PARAMETER},
      {line.data(), 0, nullptr, nullptr, w::ERROR_INVALID_PARAMETER},
      {line.data(), 0, missing.c_str(), &si, w::ERROR_DIRECTORY},
  };
  for (const auto& r : rows) {
    w::SetLastError(0xdeadbeef);
    EXPECT_EQ(w::CreateProcessA(nullptr, r.command, nullptr, nullptr, 0, r.flags, nullptr, r.folder, r.startup, &info),
              w::FALSE_);
    EXPECT_EQ(w::GetLastError(), r.error);
  }
}
