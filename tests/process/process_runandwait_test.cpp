// uo_nv_process::of_runandwait: the command line it builds, its folder and environment, waiting and the
// time-out, the installer's temporary name, and no leaks over many runs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "api32/process/uo_nv_process.hpp"
#include "api32/win32/cmdline.hpp"
#include "api32/win32/process_syscalls.hpp"
#include "process_test_support.hpp"
#include "support/test_support.hpp"

namespace w = api32::win32;
using namespace process_test;
using api32::message;
using api32::msg_icon;
using api32::uo_nv_process;
using api32::testing::recorded_boxes;
using api32::testing::temp_dir;
using clock_type = std::chrono::steady_clock;

namespace {

long long ms_since(clock_type::time_point t0) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(clock_type::now() - t0).count();
}

}  // namespace

class RunAndWait : public ::testing::Test {
protected:
  std::string helper(const std::string& actions) const {
    return child_windows() + " out " + (dir / "r") + " " + actions;
  }
  report result() const { return read_report(dir / "r"); }
  temp_dir dir;
  recorded_boxes boxes;
  uo_nv_process p;
};

TEST_F(RunAndWait, CommandLineIsCommandBlankOptionEvenWhenTheOptionIsEmpty) {
  const std::string command = helper("print-env print-args");
  ASSERT_EQ(p.of_runandwait(command, R"(-x "y z" ;$(id))", "", false, true, false), 1);
  const std::string line = command + R"( -x "y z" ;$(id))";
  EXPECT_EQ(result().all("arg"), w::split_command_line(line));
  auto env = result().all("env");
  EXPECT_NE(std::find(env.begin(), env.end(), "API32_CMDLINE=" + line), env.end());

  std::filesystem::remove(dir / "r");
  ASSERT_EQ(p.of_runandwait(helper("print-env"), "", "", false, true, false), 1);
  env = result().all("env");
  EXPECT_NE(std::find(env.begin(), env.end(), "API32_CMDLINE=" + helper("print-env") + " "), env.end());
  EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(RunAndWait, FolderIsTheOneGivenOrOursAndBisStartsWithAnEmptyEnvironment) {
  std::filesystem::create_directories(dir / "Work");
  ASSERT_EQ(p.of_runandwait(helper("print-cwd"), "", dir.windows("WORK"), false, true, false), 1);
  EXPECT_EQ(result().get("cwd"), dir / "Work");
  EXPECT_EQ(p.directory(), dir.windows("WORK"));  // the setting stays for later launches

  std::filesystem::remove(dir / "r");
  ASSERT_EQ(p.of_runandwait(helper("print-cwd print-env"), "", "", true, true, false), 1);
  EXPECT_EQ(result().get("cwd"), std::filesystem::current_path().string());
  EXPECT_EQ(result().all("env"), std::vector<std::string>{"API32_CMDLINE=" + helper("print-cwd print-env") + " "});
  EXPECT_EQ(p.directory(), std::nullopt);
}

TEST_F(RunAndWait, WithoutWaitReturnsAtOnceAndTheProgramIsReapedLater) {
  auto t0 = clock_type::now();
  ASSERT_EQ(p.of_runandwait(helper("sleep 800 print-cwd"), "", "", false, false, false), 1);
  EXPECT_LT(ms_since(t0), 600);
  EXPECT_EQ(result().get("cwd"), "<missing>");  // still sleeping
  EXPECT_TRUE(eventually([&] { return result().get("cwd") != "<missing>" && all_reaped(); }));
  EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(RunAndWait, TimeoutEndsEvenAProgramThatIgnoresSigtermAndShows258) {
  for (const char* seconds : {"0.3", "0"}) {
    SCOPED_TRACE(seconds);
    boxes.clear();
    ASSERT_EQ(p.of_settimeout(api32::decimal::parse(seconds)), 1);
    auto t0 = clock_type::now();
    EXPECT_EQ(p.of_runandwait(helper("ignore-term sleep 20000"), "", "", false, true, false), 1);
    EXPECT_GE(ms_since(t0), std::string(seconds) == "0" ? 0 : 300);
    EXPECT_LT(ms_since(t0), 5000);
    EXPECT_EQ(boxes.boxes(), (std::vector<message>{{"Wait Timeout", "258", msg_icon::stop}}));
    EXPECT_TRUE(eventually(all_reaped));
  }
}

TEST_F(RunAndWait, AFailedWaitShowsTheErrorCodeAndLeavesTheProgramRunning) {
  auto calls = w::real_process_calls();
  calls.poll = [](pollfd*, nfds_t, int) {
    errno = ENOMEM;
    return -1;
  };
  {
    w::scoped_process_syscalls failing(calls);
    EXPECT_EQ(p.of_runandwait(helper("sleep 200 print-cwd"), "", "", false, true, false), 1);
  }
  EXPECT_EQ(boxes.boxes(), (std::vector<message>{{"Wait Failed", "8", msg_icon::stop}}));
  EXPECT_TRUE(eventually([&] { return result().get("cwd") != "<missing>" && all_reaped(); }));  // not ended
}

TEST_F(RunAndWait, AMissingProgramGivesMinusOneAndNoBox) {
  const auto handles = w::handles().count();
  EXPECT_EQ(p.of_runandwait(dir.windows("missing.exe"), "", "", false, true, false), -1);
  EXPECT_EQ(p.of_runandwait(dir.windows("missing.exe"), "", "", true, false, true), -1);
  EXPECT_TRUE(boxes.boxes().empty());
  EXPECT_EQ(w::handles().count(), handles);
}

TEST_F(RunAndWait, HideAppliesToOneCallAndTheFlagsComeBack) {
  ASSERT_EQ(p.of_setwindow("maximize"), 1);
  ASSERT_EQ(p.of_setposition(5, 5), 1);
  ASSERT_EQ(p.of_runandwait(helper("exit 0"), "", "", false, true, true), 1);
  EXPECT_EQ(p.startupinfo().ul_flags, 5u);
  EXPECT_EQ(p.showwindow(), 0);  // the hidden state stays; the flags are as before
  ASSERT_EQ(p.of_runandwait(helper("exit 0"), "", "", false, true, false), 1);
  EXPECT_EQ(p.showwindow(), std::nullopt);
  EXPECT_EQ(p.startupinfo().ul_flags, 5u);
  EXPECT_EQ(p.startupinfo().ul_cb, 68u);

  uo_nv_process plain;
  ASSERT_EQ(plain.of_runandwait(helper("exit 0"), "", "", false, true, true), 1);
  EXPECT_EQ(plain.startupinfo().ul_flags, 0u);
}

class InstallerRename : public RunAndWait {
protected:
  void SetUp() override {
    std::filesystem::create_directories(dir / "Games/Tool");
    // The installer reports its own command line and what its folder holds while it runs.
    api32::testing::write_file(installer(), "#!/bin/sh\n{ printf 'cmdline=%s\\n' \"$API32_CMDLINE\"; ls \"" +
                                                (dir / "Games/Tool") + "\" | sed 's/^/file=/'; } > \"" + (dir / "r") +
                                                "\"\n");
    std::filesystem::permissions(installer(), std::filesystem::perms::owner_all);
  }
  std::string installer() const { return dir / "Games/Tool/MySetup.EXE"; }
  std::string original() const { return api32::testing::read_file(installer()); }
  drive_guard c{'C', dir.path()};
};

TEST_F(InstallerRename, RunsUnderATemporaryNameAndIsMovedBack) {
  const std::string content = original();
  ASSERT_EQ(p.of_runandwait("C:\\Games\\Tool\\MySetup.EXE /q", "-x", "", false, true, false), 1);
  EXPECT_EQ(result().get("cmdline"), "C:\\Games\\Tool\\myxxxxx.exe /q -x");
  EXPECT_EQ(result().all("file"), std::vector<std::string>{"myxxxxx.exe"});
  EXPECT_EQ(original(), content);
  EXPECT_FALSE(api32::testing::exists(dir / "Games/Tool/myxxxxx.exe"));
}

TEST_F(InstallerRename, AFailedMoveNeverCostsTheInstaller) {
  // A folder under the temporary name cannot be deleted or replaced, so the move fails.
  std::filesystem::create_directories(dir / "Games/Tool/myxxxxx.exe");
  const std::string content = original();
  EXPECT_EQ(p.of_runandwait("C:\\Games\\Tool\\MySetup.EXE /q", "", "", false, true, false), -1);
  EXPECT_EQ(original(), content);
  EXPECT_TRUE(std::filesystem::is_directory(dir / "Games/Tool/myxxxxx.exe"));
  EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(InstallerRename, NativePathsRenameTheFileNameOnly) {
  std::filesystem::create_directories(dir / "setupfolder");
  copy_child(dir / "setupfolder/tool.exe");
  copy_child(dir / "setupfolder/Net_SETUP.exe");
  const std::string actions = " out " + (dir / "r") + " print-args";
  ASSERT_EQ(p.of_runandwait(dir / "setupfolder/tool.exe", actions, "", false, true, false), 1);
  EXPECT_EQ(result().get("arg"), dir / "setupfolder/tool.exe");
  std::filesystem::remove(dir / "r");
  ASSERT_EQ(p.of_runandwait(dir / "setupfolder/Net_SETUP.exe", actions, "", false, true, false), 1);
  EXPECT_EQ(result().get("arg"), dir / "setupfolder/net_xxxxx.exe");
  EXPECT_TRUE(api32::testing::exists(dir / "setupfolder/Net_SETUP.exe"));
  EXPECT_FALSE(api32::testing::exists(dir / "setupfolder/net_xxxxx.exe"));
}

// Many runs leave no descriptor, handle or child behind; a quarter of them do not wait.
TEST(RunAndWaitLeaks, AThousandRunsLeaveNothingBehind) {
  ASSERT_TRUE(eventually(all_reaped));
  const int fds = api32::testing::open_descriptor_count();
  const auto handles = w::handles().count();
  const auto children = our_children().total;
  uo_nv_process p;
  int started = 0;
  for (int i = 0; i < 1000; ++i) started += p.of_runandwait("/bin/true", "", "", i % 7 == 0, i % 4 != 0, false) == 1;
  EXPECT_EQ(started, 1000);
  EXPECT_TRUE(eventually(all_reaped));
  EXPECT_EQ(our_children().total, children);
  EXPECT_EQ(api32::testing::open_descriptor_count(), fds);
  EXPECT_EQ(w::handles().count(), handles);
}
