// GetFileAttributesA / SetFileAttributesA: read-only as permission bits, hidden/system/archive in
// user.DOSATTRIB (as Samba and Wine keep them), file systems without extended attributes, unprivileged use.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "api32/win32/files.hpp"
#include "api32/win32/files_syscalls.hpp"
#include "file/file_test_support.hpp"
#include "support/test_support.hpp"

namespace w = api32::win32;
using namespace api32::testing;

namespace {

constexpr w::DWORD RO = w::FILE_ATTRIBUTE_READONLY, H = w::FILE_ATTRIBUTE_HIDDEN, S = w::FILE_ATTRIBUTE_SYSTEM,
                   D = w::FILE_ATTRIBUTE_DIRECTORY, A = w::FILE_ATTRIBUTE_ARCHIVE, N = w::FILE_ATTRIBUTE_NORMAL;

// The raw user.DOSATTRIB value, or "(none)".
std::string dos_attrib(const std::string& path) {
  char value[256];
  ssize_t n = ::getxattr(path.c_str(), "user.DOSATTRIB", value, sizeof value);
  return n < 0 ? "(none)" : std::string(value, static_cast<std::size_t>(n));
}

mode_t mode_of(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

struct umask_guard {
  mode_t old;
  explicit umask_guard(mode_t mask) : old(::umask(mask)) {}
  ~umask_guard() { ::umask(old); }
};

class FileAttributes : public ::testing::Test {
protected:
  void SetUp() override {
    write_file(dir / "file.txt", "x");
    ::chmod((dir / "file.txt").c_str(), 0644);
    xattrs = ::setxattr((dir / "file.txt").c_str(), "user.probe", "1", 1, 0) == 0;
    ::removexattr((dir / "file.txt").c_str(), "user.probe");
  }
  temp_dir dir;
  bool xattrs = false;
};

}  // namespace

TEST_F(FileAttributes, SetThenGetOnAFile) {
  if (!xattrs) GTEST_SKIP() << "the temporary folder's file system keeps no user extended attributes";
  umask_guard mask(022);
  struct row {
    w::DWORD set, get;
    bool writable;
    const char* stored;
  } rows[] = {
      {N, N, true, "0x0"},     // normal clears archive as well
      {A, A, true, "(none)"},  // the reading without DOSATTRIB already: nothing stored
      {RO, RO, false, "0x0"},  {H | S, H | S, true, "0x6"}, {RO | H | S | A, RO | H | S | A, false, "0x26"},
      {D | H, H, true, "0x2"},  // folder bit ignored on a file
      {N | H, H, true, "0x2"},  // normal with other bits is ignored
  };
  std::string path = dir / "file.txt";
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::Message() << "set 0x" << std::hex << r.set);
    ::removexattr(path.c_str(), "user.DOSATTRIB");
    ::chmod(path.c_str(), 0644);
    w::SetLastError(error_sentinel);
    ASSERT_TRUE(w::SetFileAttributesA(dir.windows("FILE.TXT"), r.set));
    EXPECT_EQ(w::GetLastError(), error_sentinel);
    EXPECT_EQ(w::GetFileAttributesA(dir.windows("file.txt")), r.get);
    EXPECT_EQ(mode_of(path), r.writable ? 0644u : 0444u);
    EXPECT_EQ(dos_attrib(path), r.stored);
  }
}

TEST_F(FileAttributes, ClearingReadOnlyGivesWriteBackWhereReadIs) {
  umask_guard mask(022);
  std::string path = dir / "file.txt";
  struct row {
    mode_t before, after;
  } rows[] = {{0444, 0644}, {0400, 0600}, {0440, 0640}, {0555, 0755}, {0000, 0200}};
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::Message() << std::oct << r.before);
    ::chmod(path.c_str(), r.before);
    EXPECT_EQ(w::GetFileAttributesA(dir.windows("file.txt")) & RO, RO);
    ASSERT_TRUE(w::SetFileAttributesA(dir.windows("file.txt"), N));
    EXPECT_EQ(mode_of(path), r.after);
  }
  umask_guard open_mask(0);
  ::chmod(path.c_str(), 0444);
  ASSERT_TRUE(w::SetFileAttributesA(dir.windows("file.txt"), N));
  EXPECT_EQ(mode_of(path), 0666u);
}

TEST_F(FileAttributes, FoldersAndDotFiles) {
  std::filesystem::create_directory(dir / "Folder");
  ::chmod((dir / "Folder").c_str(), 0755);
  write_file(dir / ".profile", "");
  EXPECT_EQ(w::GetFileAttributesA(dir.windows("folder")), D);
  EXPECT_EQ(w::GetFileAttributesA(dir.windows(".profile")), H | A);
  // read-only is ignored on folders: they stay writable
  ASSERT_TRUE(w::SetFileAttributesA(dir.windows("Folder"), RO));
  EXPECT_EQ(mode_of(dir / "Folder"), 0755u);
  EXPECT_EQ(w::GetFileAttributesA(dir.windows("folder")), D);
  // a leading dot hides whatever is stored
  ASSERT_TRUE(w::SetFileAttributesA(dir.windows(".profile"), N));
  EXPECT_EQ(w::GetFileAttributesA(dir.windows(".profile")) & H, H);
  if (!xattrs) GTEST_SKIP() << "no user extended attributes: hidden folders cannot be stored";
  ASSERT_TRUE(w::SetFileAttributesA(dir.windows("Folder"), H | S));
  EXPECT_EQ(w::GetFileAttributesA(dir.windows("folder")), D | H | S);
  ASSERT_TRUE(w::SetFileAttributesA(dir.windows("Folder"), N));
  EXPECT_EQ(w::GetFileAttributesA(dir.windows("folder")), D);
}

TEST_F(FileAttributes, MissingPathsFail) {
  struct row {
    const char* what;
    std::string name;
    w::DWORD error;
  } rows[] = {
      {"missing file", dir.windows("missing.txt"), w::ERROR_FILE_NOT_FOUND},
      {"missing folder", dir.windows("nope\\x.txt"), w::ERROR_PATH_NOT_FOUND},
      {"over 260 characters", dir.windows(std::string(300, 'x')), w::ERROR_FILENAME_EXCED_RANGE},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    w::SetLastError(error_sentinel);
    EXPECT_EQ(w::GetFileAttributesA(r.name), w::INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(w::GetLastError(), r.error);
    w::SetLastError(error_sentinel);
    EXPECT_FALSE(w::SetFileAttributesA(r.name, N));
    EXPECT_EQ(w::GetLastError(), r.error);
  }
}

TEST_F(FileAttributes, ReadsTheFormsSambaAndWineWrite) {
  if (!xattrs) GTEST_SKIP() << "the temporary folder's file system keeps no user extended attributes";
  std::string path = dir / "file.txt";
  struct row {
    const char* what;
    std::string value;
    w::DWORD get;
  } rows[] = {
      {"Wine: hidden only", "0x2", H},
      {"Samba 3 text", "0x22", H | A},
      {"upper-case X", "0X4", S},
      {"Samba 4: text, NUL, binary tail", std::string("0x20\0\x05\0\x05\0\0\0\xff", 11), A},
      {"read-only stored: the mode decides", "0x1", N},
      {"not hex: as if none", "0xzz", A},
      {"no digits: as if none", "0x", A},
      {"nine digits: as if none", "0x123456789", A},
      {"other text: as if none", "hidden", A},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    ASSERT_EQ(::setxattr(path.c_str(), "user.DOSATTRIB", r.value.data(), r.value.size(), 0), 0);
    EXPECT_EQ(w::GetFileAttributesA(dir.windows("file.txt")), r.get);
  }
  // bits we do not manage are kept when the others change
  ::setxattr(path.c_str(), "user.DOSATTRIB", "0x820", 5, 0);
  ASSERT_TRUE(w::SetFileAttributesA(dir.windows("file.txt"), H));
  EXPECT_EQ(dos_attrib(path), "0x802");
}

TEST_F(FileAttributes, AFileSystemWithoutExtendedAttributes) {
  umask_guard mask(022);
  auto calls = w::real_file_calls();
  calls.getxattr = [](const char*, const char*, void*, std::size_t) -> ssize_t {
    errno = ENOTSUP;
    return -1;
  };
  calls.setxattr = [](const char*, const char*, const void*, std::size_t, int) {
    errno = ENOTSUP;
    return -1;
  };
  w::scoped_file_syscalls no_xattrs(calls);
  std::string path = dir / "file.txt";
  // the permission part still works, the rest cannot be kept: the call succeeds, as under Wine
  w::SetLastError(error_sentinel);
  ASSERT_TRUE(w::SetFileAttributesA(dir.windows("file.txt"), RO | H));
  EXPECT_EQ(w::GetLastError(), error_sentinel);
  EXPECT_EQ(mode_of(path), 0444u);
  EXPECT_EQ(w::GetFileAttributesA(dir.windows("file.txt")), RO | A);
  ASSERT_TRUE(w::SetFileAttributesA(dir.windows("file.txt"), N));
  EXPECT_EQ(mode_of(path), 0644u);
  EXPECT_EQ(w::GetFileAttributesA(dir.windows("file.txt")), A);
}

TEST_F(FileAttributes, AnAttributeStoreRefusalFailsBeforeTheModeChanges) {
  auto calls = w::real_file_calls();
  calls.setxattr = [](const char*, const char*, const void*, std::size_t, int) {
    errno = EPERM;
    return -1;
  };
  w::scoped_file_syscalls refuse(calls);
  w::SetLastError(error_sentinel);
  EXPECT_FALSE(w::SetFileAttributesA(dir.windows("file.txt"), RO | H));
  EXPECT_EQ(w::GetLastError(), w::ERROR_ACCESS_DENIED);
  EXPECT_EQ(mode_of(dir / "file.txt"), 0644u);
}

// An ordinary user may set "user." extended attributes only while the file is writable: setting read-only
// and hidden together, and clearing them again, must store and change the mode in the right order.
TEST_F(FileAttributes, AnUnprivilegedOwnerSetsAndClearsReadOnlyWithHidden) {
  if (!xattrs) GTEST_SKIP() << "the temporary folder's file system keeps no user extended attributes";
  std::string folder = dir / "shared";
  std::filesystem::create_directory(folder);
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
  std::string windows = dir.windows("shared/own.txt");
  auto body = [&]() -> int {
    write_file(folder + "/own.txt", "x");
    if (!w::SetFileAttributesA(windows, RO | H)) return 10 + static_cast<int>(w::GetLastError() % 10);
    if (w::GetFileAttributesA(windows) != (RO | H)) return 20;
    if (!w::SetFileAttributesA(windows, N)) return 30 + static_cast<int>(w::GetLastError() % 10);
    if (w::GetFileAttributesA(windows) != N) return 40;
    return 0;
  };
  if (::geteuid() != 0) {
    EXPECT_EQ(body(), 0);
    return;
  }
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(99);
    ::_exit(body());
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "10+: setting failed, 20: read back wrong, 30+: clearing failed, 40: "
                                       "cleared wrong, 99: could not drop privileges";
}
