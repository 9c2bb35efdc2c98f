// Process snapshots: our helper is listed under its executable's name, with its pid and parent; the walk's
// ends and its refusals follow the Win32 contract.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "process_test_support.hpp"
#include "support/test_support.hpp"

namespace w = api32::win32;
using namespace process_test;

namespace {

// Every entry of a fresh snapshot.
std::vector<api32::str_processentry32> all_entries() {
  std::vector<api32::str_processentry32> out;
  HANDLE snapshot = w::CreateToolhelp32Snapshot(w::TH32CS_SNAPPROCESS, 0);
  EXPECT_NE(snapshot, w::INVALID_HANDLE_VALUE);
  api32::str_processentry32 entry;
  entry.dwsize = sizeof entry;
  for (bool ok = w::Process32First(snapshot, &entry); ok; ok = w::Process32Next(snapshot, &entry)) out.push_back(entry);
  EXPECT_EQ(w::GetLastError(), w::ERROR_NO_MORE_FILES);
  EXPECT_TRUE(w::CloseHandle(snapshot));
  return out;
}

const api32::str_processentry32* find_pid(const std::vector<api32::str_processentry32>& entries, DWORD pid) {
  for (const auto& e : entries)
    if (e.th32processid == pid) return &e;
  return nullptr;
}

}  // namespace

TEST(Toolhelp, ListsOurHelperByItsExecutableName) {
  api32::testing::temp_dir dir;
  const std::string name = "Api32Probe-" + std::to_string(::getpid()) + ".exe";
  copy_child(dir / name);
  copy_child(dir / "gone.exe");
  started p, deleted;
  start(p, "\"" + dir.windows(name) + "\" sleep 10000");
  start(deleted, "\"" + dir.windows("gone.exe") + "\" sleep 10000");
  ASSERT_TRUE(p.ok && deleted.ok);
  std::filesystem::remove(dir / "gone.exe");  // the exe link then ends in " (deleted)"

  const auto handles_before = w::handles().count();
  auto entries = all_entries();
  EXPECT_EQ(w::handles().count(), handles_before);
  const auto* e = find_pid(entries, p.info.ul_processid);
  ASSERT_NE(e, nullptr);
  EXPECT_STREQ(e->szexefile, name.c_str());
  EXPECT_EQ(e->th32parentprocessid, static_cast<DWORD>(::getpid()));
  EXPECT_EQ(e->cntthreads, 1u);
  EXPECT_EQ(e->pcpriclassbase, 8);  // normal
  EXPECT_EQ(e->dwsize, sizeof(api32::str_processentry32));
  ASSERT_NE(find_pid(entries, deleted.info.ul_processid), nullptr);
  EXPECT_STREQ(find_pid(entries, deleted.info.ul_processid)->szexefile, "gone.exe");
  ASSERT_NE(find_pid(entries, static_cast<DWORD>(::getpid())), nullptr);  // ourselves too
  EXPECT_TRUE(std::is_sorted(entries.begin(), entries.end(),
                             [](auto& a, auto& b) { return a.th32processid < b.th32processid; }));
}

TEST(Toolhelp, WalkRestartsAndRefusesShortRecordsAndBadHandles) {
  HANDLE snapshot = w::CreateToolhelp32Snapshot(w::TH32CS_SNAPPROCESS, 0);
  ASSERT_NE(snapshot, w::INVALID_HANDLE_VALUE);
  api32::str_processentry32 first, again;
  first.dwsize = again.dwsize = sizeof first;
  ASSERT_TRUE(w::Process32First(snapshot, &first));
  ASSERT_TRUE(w::Process32Next(snapshot, &again));
  ASSERT_TRUE(w::Process32First(snapshot, &again));
  EXPECT_EQ(std::memcmp(&first, &again, sizeof first), 0);

  api32::str_processentry32 shorter;
  shorter.th32processid = 0xffffffffu;
  shorter.dwsize = sizeof shorter - 1;
  EXPECT_FALSE(w::Process32First(snapshot, &shorter));
  EXPECT_EQ(w::GetLastError(), w::ERROR_BAD_LENGTH);
  EXPECT_EQ(shorter.th32processid, 0xffffffffu);  // left alone
  EXPECT_TRUE(w::CloseHandle(snapshot));

  w::SetLastError(0);
  EXPECT_FALSE(w::Process32Next(snapshot, &first));  // closed
  EXPECT_EQ(w::GetLastError(), w::ERROR_INVALID_HANDLE);

  HANDLE threads_only = w::CreateToolhelp32Snapshot(0x4, 0);  // a kind we do not list: an empty list
  ASSERT_NE(threads_only, w::INVALID_HANDLE_VALUE);
  EXPECT_FALSE(w::Process32First(threads_only, &first));
  EXPECT_EQ(w::GetLastError(), w::ERROR_NO_MORE_FILES);
  EXPECT_TRUE(w::CloseHandle(threads_only));
}
