// The archive writer: archives written by of_zipopen / of_importfile / of_zipclose, read back by Python's
// zipfile and Info-ZIP (names, dates, attributes, text flag, CRC, comment), and the failures that must not
// pass for success.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <thread>

#include "api32/runtime/registry.hpp"
#include "api32/win32/files.hpp"
#include "api32/win32/paths.hpp"
#include "api32/zip/uo_nv_ziplib.hpp"
#include "support/test_support.hpp"
#include "support_zip_inspect.hpp"

using api32::blob;
using api32::message;
using api32::msg_icon;
using api32::uo_nv_ziplib;
using api32::testing::write_file;

namespace {

std::string random_bytes(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(rng());
  return s;
}

// Sets a file's last-write time to a local calendar time.
void set_local_mtime(const std::string& path, int year, int month, int day, int hour, int minute, int second) {
  std::tm fields{};
  fields.tm_year = year - 1900;
  fields.tm_mon = month - 1;
  fields.tm_mday = day;
  fields.tm_hour = hour;
  fields.tm_min = minute;
  fields.tm_sec = second;
  fields.tm_isdst = -1;
  timespec times[2];
  times[0].tv_sec = times[1].tv_sec = std::mktime(&fields);
  times[0].tv_nsec = times[1].tv_nsec = 0;
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

std::uint64_t size_of(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

class current_folder_guard {
public:
  explicit current_folder_guard(const std::string& folder) : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~current_folder_guard() { std::filesystem::current_path(previous_); }

private:
  std::filesystem::path previous_;
};

class ZipWriter : public ::testing::Test {
protected:
  void SetUp() override {
    previous_c_ = api32::win32::drive_root('C');
    api32::win32::set_drive('C', dir.path());
    api32::registry::reset();
    api32::registry::use_content_types(false);
  }
  void TearDown() override {
    api32::win32::set_drive('C', previous_c_.value_or(""));
    api32::registry::reset();
    api32::registry::use_content_types(true);
  }
  // Writes a file below the temporary folder (which is drive C:), folders included.
  std::string make_file(const std::string& relative, const std::string& content) {
    std::string path = dir / relative;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    write_file(path, content);
    return path;
  }

  api32::testing::temp_dir dir;
  api32::testing::recorded_boxes boxes;
  uo_nv_ziplib zl;
  std::string zip = dir / "out.zip";
  const std::string zip_windows = R"(C:\out.zip)";

private:
  std::optional<std::string> previous_c_;
};

TEST_F(ZipWriter, EntryCarriesNameLocalDateAttributesAndTextFlag) {
  std::string readme = make_file("data/readme.txt", "Install the mod.\r\nEnjoy.\r\n");
  std::string tool = make_file("data/tool.exe", random_bytes(3000, 1));
  set_local_mtime(readme, 2010, 5, 21, 14, 3, 7);
  set_local_mtime(tool, 2021, 12, 31, 23, 59, 59);
  ASSERT_EQ(::chmod(tool.c_str(), 0444), 0);  // read-only

  std::uint32_t h = zl.of_zipopen(zip_windows);
  ASSERT_NE(h, 0u);
  EXPECT_EQ(zl.of_importfile(h, R"(C:\data\readme.txt)", ""), 0);
  EXPECT_EQ(zl.of_importfile(h, R"(C:\data\tool.exe)", ""), 0);
  EXPECT_EQ(zl.of_zipclose(h, ""), 0);
  EXPECT_TRUE(boxes.boxes().empty());

  EXPECT_EQ(zip_inspect::unzip_test(zip), 0);
  auto listing = zip_inspect::python_listing(zip);
  ASSERT_TRUE(listing.ok);
  ASSERT_EQ(listing.names(), (std::vector<std::string>{"data/readme.txt", "data/tool.exe"}));

  const auto& text = *listing.find("data/readme.txt");
  EXPECT_EQ(text.internal_attr & 1, 1u);
  EXPECT_EQ(text.date, "2010-05-21 14:03:06");  // MS-DOS times count in steps of two seconds
  EXPECT_EQ(text.external_attr, api32::win32::GetFileAttributesA(R"(C:\data\readme.txt)"));
  EXPECT_EQ(text.method, 8);
  EXPECT_EQ(text.create_system, 11);  // NTFS: the attribute byte is read as Windows attributes
  EXPECT_EQ(text.crc, zip_inspect::crc_hex("Install the mod.\r\nEnjoy.\r\n"));
  EXPECT_EQ(text.flag_bits & 0x800, 0u);  // a plain ASCII name

  const auto& binary = *listing.find("data/tool.exe");
  EXPECT_EQ(binary.internal_attr & 1, 0u);
  EXPECT_EQ(binary.date, "2021-12-31 23:59:58");
  EXPECT_EQ(binary.external_attr & api32::win32::FILE_ATTRIBUTE_READONLY, api32::win32::FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(binary.external_attr, api32::win32::GetFileAttributesA(R"(C:\data\tool.exe)"));

  // Info-ZIP agrees: text flag, deflate, the date, the read-only attribute
  std::string line = zip_inspect::zipinfo_line(zip, "data/readme.txt");
  EXPECT_NE(line.find(" t"), std::string::npos) << line;
  EXPECT_NE(line.find("defN 10-May-21 14:03"), std::string::npos) << line;
  line = zip_inspect::zipinfo_line(zip, "data/tool.exe");
  EXPECT_EQ(line.rfind("-r-", 0), 0u) << line;
  EXPECT_NE(line.find(" b"), std::string::npos) << line;
}

TEST_F(ZipWriter, EntryNamesFromDriveRelativeAndNativePaths) {
  make_file("data/readme.txt", "r");
  make_file("sub/a.bin", "a");
  make_file("Grüße/ß.txt", "u");
  current_folder_guard here(dir.path());
  std::string native_abs = dir / "sub/a.bin";

  struct {
    std::string filename, folder, entry;
  } cases[] = {
      {R"(C:\data\readme.txt)", "", "data/readme.txt"}, {R"(C:\data\readme.txt)", "pack/", "pack/data/readme.txt"},
      {R"(sub\a.bin)", "mod/", "mod/sub/a.bin"},        {R"(sub\a.bin)", "mod", "modsub/a.bin"},
      {native_abs, "", native_abs.substr(1)},  // rooted like a drive: no leading "/"
      {R"(C:\Grüße\ß.txt)", "", "Grüße/ß.txt"},
  };
  std::uint32_t h = zl.of_zipopen(zip_windows);
  ASSERT_NE(h, 0u);
  for (const auto& c : cases) EXPECT_EQ(zl.of_importfile(h, c.filename, c.folder), 0) << c.filename;
  ASSERT_EQ(zl.of_zipclose(h, ""), 0);

  auto listing = zip_inspect::python_listing(zip);
  ASSERT_TRUE(listing.ok);
  std::vector<std::string> expected;
  for (const auto& c : cases) expected.push_back(c.entry);
  EXPECT_EQ(listing.names(), expected);
  // the non-ASCII name is stored as UTF-8 and says so; the others do not
  for (const auto& e : listing.entries) EXPECT_EQ(e.flag_bits & 0x800, e.name == "Grüße/ß.txt" ? 0x800u : 0u) << e.name;
  EXPECT_EQ(zip_inspect::unzip_test(zip), 0);
}

TEST_F(ZipWriter, NonAsciiNamesExtractAlikeWithEveryReader) {
  // Debian's unzip decodes the name of an entry "made by" MS-DOS from the OEM code page despite the UTF-8 flag
  make_file("src/Übersicht.txt", "u");
  make_file("src/Grüße/ß.txt", "s");
  make_file("src/plain.txt", "p");
  std::uint32_t h = zl.of_zipopen(zip_windows);
  ASSERT_NE(h, 0u);
  for (const char* name : {R"(Übersicht.txt)", R"(Grüße\ß.txt)", R"(plain.txt)"})
    EXPECT_EQ(zl.of_importfile(h, std::string(R"(C:\src\)") + name, ""), 0) << name;
  ASSERT_EQ(zl.of_zipclose(h, ""), 0);

  std::vector<std::string> expected{"src"};  // the entries are named src/...
  for (const auto& path : api32::testing::tree(dir / "src")) expected.push_back("src/" + path);
  ASSERT_EQ(expected.size(), 5u);  // src, src/Grüße and three files
  for (const char* reader : {"unzip", "bsdtar", "7zz", "python"})
    EXPECT_EQ(zip_inspect::names_extracted_by(reader, zip), expected) << reader;
  // zipinfo names the host and the attributes as it does for a Windows archive
  std::string line = zip_inspect::zipinfo_line(zip, "src/plain.txt");
  EXPECT_NE(line.find(" ntf "), std::string::npos) << line;
}

TEST_F(ZipWriter, RefusedAndMissingSourcesAddNothingAndTheArchiveStaysUsable) {
  make_file("sub/a.bin", "a");
  make_file("empty.dat", "");
  std::uint32_t h = zl.of_zipopen(zip_windows);
  ASSERT_NE(h, 0u);
  // each gives -1 and adds nothing
  for (const char* refused : {R"(C:\missing.txt)", R"(C:\nowhere\a.txt)", R"(\\server\share\f.txt)",
                              R"(C:\sub\..\sub\a.bin)", R"(C:\.\sub\a.bin)"}) {
    EXPECT_EQ(zl.of_importfile(h, refused, ""), -1) << refused;
    EXPECT_EQ(zl.of_zipopennewfileinzip(h, refused, ""), -1) << refused;
  }
  EXPECT_EQ(zl.of_importfile(h, R"(C:\sub\a.bin)", "../"), -1);  // the prefix would climb out
  // an existing file afterwards goes in, and an empty file makes an empty entry
  EXPECT_EQ(zl.of_importfile(h, R"(C:\sub\a.bin)", ""), 0);
  EXPECT_EQ(zl.of_importfile(h, R"(C:\empty.dat)", ""), 0);
  ASSERT_EQ(zl.of_zipclose(h, ""), 0);

  auto listing = zip_inspect::python_listing(zip);
  ASSERT_TRUE(listing.ok);
  EXPECT_EQ(listing.names(), (std::vector<std::string>{"sub/a.bin", "empty.dat"}));
  EXPECT_EQ(listing.find("empty.dat")->size, 0u);
  EXPECT_EQ(zip_inspect::unzip_test(zip), 0);
  EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(ZipWriter, ArchiveCommentIsStoredOrAbsent) {
  make_file("a.txt", "a");
  for (std::string comment : {std::string("Mods pack – v2"), std::string()}) {
    std::uint32_t h = zl.of_zipopen(zip_windows);  // replaces the archive of the round before
    ASSERT_NE(h, 0u);
    ASSERT_EQ(zl.of_importfile(h, R"(C:\a.txt)", ""), 0);
    ASSERT_EQ(zl.of_zipclose(h, comment), 0);
    auto listing = zip_inspect::python_listing(zip);
    ASSERT_TRUE(listing.ok);
    EXPECT_EQ(listing.comment, comment);
    EXPECT_EQ(listing.names(), (std::vector<std::string>{"a.txt"}));
  }
}

TEST_F(ZipWriter, OpenInAMissingFolderShowsOneBox) {
  EXPECT_EQ(zl.of_zipopen(R"(C:\no such folder\out.zip)"), 0u);
  EXPECT_EQ(
      boxes.boxes(),
      (std::vector<message>{{"Ziplib Error in of_zipopen", "The zip file could not be opened!", msg_icon::stop}}));
  EXPECT_FALSE(api32::testing::exists(dir / "no such folder"));
}

TEST_F(ZipWriter, EntryWrittenByHandJoinsItsBlocks) {
  make_file("parts.txt", "x");
  std::uint32_t h = zl.of_zipopen(zip_windows);
  ASSERT_NE(h, 0u);
  ASSERT_EQ(zl.of_zipopennewfileinzip(h, R"(C:\parts.txt)", "by-hand/"), 0);
  std::string first = random_bytes(50000, 3), second = "tail of the entry";
  blob b1(first.begin(), first.end()), b2(second.begin(), second.end()), empty;
  EXPECT_EQ(zl.of_zipwriteinfileinzip(h, b1), 0);
  EXPECT_EQ(zl.of_zipwriteinfileinzip(h, empty), 0);
  EXPECT_EQ(zl.of_zipwriteinfileinzip(h, b2), 0);
  EXPECT_EQ(zl.of_zipclosefileinzip(h), 0);
  // an entry left open is finished by the next one, and the last by closing the archive, as minizip does
  ASSERT_EQ(zl.of_zipopennewfileinzip(h, R"(C:\parts.txt)", "second/"), 0);
  EXPECT_EQ(zl.of_zipwriteinfileinzip(h, b2), 0);
  ASSERT_EQ(zl.of_zipopennewfileinzip(h, R"(C:\parts.txt)", "third/"), 0);
  EXPECT_EQ(zl.of_zipwriteinfileinzip(h, b1), 0);
  ASSERT_EQ(zl.of_zipclose(h, ""), 0);

  auto listing = zip_inspect::python_listing(zip);
  ASSERT_TRUE(listing.ok);
  ASSERT_EQ(listing.names(), (std::vector<std::string>{"by-hand/parts.txt", "second/parts.txt", "third/parts.txt"}));
  EXPECT_EQ(listing.entries[0].size, first.size() + second.size());
  EXPECT_EQ(listing.entries[0].crc, zip_inspect::crc_hex(first + second));
  EXPECT_EQ(listing.entries[1].crc, zip_inspect::crc_hex(second));
  EXPECT_EQ(listing.entries[2].crc, zip_inspect::crc_hex(first));
  EXPECT_EQ(zip_inspect::unzip_test(zip), 0);
}

TEST_F(ZipWriter, ClosedOrForeignHandlesAreRefused) {
  make_file("a.txt", "a");
  std::uint32_t h = zl.of_zipopen(zip_windows);
  ASSERT_NE(h, 0u);
  ASSERT_EQ(zl.of_zipclose(h, ""), 0);
  blob data{1, 2, 3};
  for (std::uint32_t stale : {h, 0u, 0x7FFF1234u}) {
    EXPECT_EQ(zl.of_zipopennewfileinzip(stale, R"(C:\a.txt)", ""), -102);
    EXPECT_EQ(zl.of_zipwriteinfileinzip(stale, data), -102);
    EXPECT_EQ(zl.of_zipclosefileinzip(stale), -102);
    EXPECT_EQ(zl.of_importfile(stale, R"(C:\a.txt)", ""), -102);
    EXPECT_EQ(zl.of_zipclose(stale, ""), -102);
  }
  // no entry open: minizip's parameter error
  h = zl.of_zipopen(zip_windows);
  EXPECT_EQ(zl.of_zipwriteinfileinzip(h, data), -102);
  EXPECT_EQ(zl.of_zipclosefileinzip(h), -102);
  EXPECT_EQ(zl.of_zipclose(h, ""), 0);
}

TEST_F(ZipWriter, TimesBeforeNineteenEightyBecomeItsFirstDay) {
  std::string old = make_file("old.txt", "from 1975");
  set_local_mtime(old, 1975, 6, 1, 12, 0, 0);
  std::uint32_t h = zl.of_zipopen(zip_windows);
  ASSERT_EQ(zl.of_importfile(h, R"(C:\old.txt)", ""), 0);
  ASSERT_EQ(zl.of_zipclose(h, ""), 0);
  auto listing = zip_inspect::python_listing(zip);
  ASSERT_TRUE(listing.ok);
  EXPECT_EQ(listing.entries.at(0).date, "1980-01-01 00:00:00");
}

// ---- the text-file guess

TEST_F(ZipWriter, TextGuessFromTheListsThenTheRegistrysOpenCommand) {
  auto loaded = api32::registry::load_reg_text(R"(Windows Registry Editor Version 5.00

[HKEY_CLASSES_ROOT\.log]
@="txtfile"
[HKEY_CLASSES_ROOT\txtfile\shell\open\command]
@="C:\\Windows\\system32\\NOTEPAD.EXE %1"

[HKEY_CLASSES_ROOT\.nfo]
@="nfofile"
[HKEY_CLASSES_ROOT\nfofile\shell\open\command]
@="notepad.exe %1"

[HKEY_CLASSES_ROOT\.rtf]
@="rtffile"
[HKEY_CLASSES_ROOT\rtffile\shell\open\command]
@="\"%ProgramFiles%\\Windows NT\\Accessories\\WORDPAD.EXE\" \"%1\""

[HKEY_CLASSES_ROOT\.png]
@="pngfile"
[HKEY_CLASSES_ROOT\pngfile\shell\open\command]
@="C:\\Windows\\mspaint.exe \"%1\""

[HKEY_CLASSES_ROOT\.cfg]
@=""
[HKEY_CLASSES_ROOT\cfg_auto_file\shell\open\command]
@="C:\\Tools\\notepad.exe \"%1\""
)");
  ASSERT_TRUE(loaded.errors.empty()) << loaded.errors.front();
  struct {
    const char* extension;
    std::int16_t text;
  } cases[] = {
      {"txt", 1}, {"Ini", 1}, {"BAT", 1}, {"htm", 1},  // the text list, any case
      {"exe", 0}, {"DLL", 0}, {"doc", 0}, {"pbd", 0},  // the binary list
      {"log", 1},                                      // NOTEPAD.EXE after the folder
      {"nfo", 0},                                      // notepad.exe at the first character does not count
      {"rtf", 1},                                      // quoted WORDPAD.EXE
      {"png", 0},                                      // another program
      {"cfg", 1},                                      // empty class name: the _auto_file class
      {"xyz", 0},                                      // nothing known
  };
  for (const auto& c : cases) EXPECT_EQ(zl.of_internal_fa(c.extension), c.text) << c.extension;

  // and the guess reaches the archive: the last three characters of the path are the extension
  // The flag is the guess alone: text content under an extension guessed binary stays unflagged, and the
  // other way round.
  make_file("notes.log", std::string(2000, '\x01'));
  make_file("plain.nfo", "Greetings from the release group.\r\n");
  std::uint32_t h = zl.of_zipopen(zip_windows);
  ASSERT_EQ(zl.of_importfile(h, R"(C:\notes.log)", ""), 0);
  ASSERT_EQ(zl.of_importfile(h, R"(C:\plain.nfo)", ""), 0);
  ASSERT_EQ(zl.of_zipclose(h, ""), 0);
  auto listing = zip_inspect::python_listing(zip);
  ASSERT_TRUE(listing.ok);
  EXPECT_EQ(listing.find("notes.log")->internal_attr & 1, 1u);
  EXPECT_EQ(listing.find("plain.nfo")->internal_attr & 1, 0u);
}

// ---- streaming and the failures that must not read as success

TEST_F(ZipWriter, LargeFileStreamsThroughInBlocks) {
  std::string content = random_bytes(100000, 5) + std::string(200000, 'z');
  make_file("big.bin", content);
  std::uint32_t h = zl.of_zipopen(zip_windows);
  ASSERT_EQ(zl.of_importfile(h, R"(C:\big.bin)", ""), 0);
  ASSERT_EQ(zl.of_zipclose(h, ""), 0);
  auto listing = zip_inspect::python_listing(zip);
  ASSERT_TRUE(listing.ok);
  EXPECT_EQ(listing.entries.at(0).size, content.size());
  EXPECT_EQ(listing.entries.at(0).crc, zip_inspect::crc_hex(content));
}

// Runs `change` on the source once the archive on disk has passed `threshold` bytes, which means the import
// has read at least that far into an incompressible source.
class change_midway {
public:
  change_midway(std::string archive, std::uint64_t threshold, std::function<void()> change)
      : thread_([this, archive, threshold, change] {
          while (!stop_ && size_of(archive) < threshold) std::this_thread::sleep_for(std::chrono::microseconds(200));
          if (!stop_) {
            change();
            changed_ = true;
          }
        }) {}
  ~change_midway() { finish(); }
  bool finish() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return changed_;
  }

private:
  std::atomic<bool> stop_{false};
  std::atomic<bool> changed_{false};
  std::thread thread_;
};

TEST_F(ZipWriter, SourceThatShrinksOrGrowsWhileReadIsAnErrorButTheArchiveStaysValid) {
  const std::string original = random_bytes(16u << 20, 9);
  const std::string appended = random_bytes(1u << 20, 10);
  struct {
    const char* name;
    std::function<void(const std::string&)> change;
  } cases[] = {
      {"shrinks", [](const std::string& p) { ASSERT_EQ(::truncate(p.c_str(), 512u << 10), 0); }},
      {"grows",
       [&](const std::string& p) {
         std::ofstream out(p, std::ios::binary | std::ios::app);
         out.write(appended.data(), static_cast<std::streamsize>(appended.size()));
       }},
  };
  for (const auto& c : cases) {
    std::string source = make_file("moving.bin", original);
    std::uint32_t h = zl.of_zipopen(zip_windows);
    ASSERT_NE(h, 0u);
    std::int16_t result;
    {
      change_midway midway(zip, 2u << 20, [&] { c.change(source); });
      result = zl.of_importfile(h, R"(C:\moving.bin)", "");
      ASSERT_TRUE(midway.finish()) << c.name << ": the import ended before the source changed";
    }
    EXPECT_EQ(result, -1) << c.name;
    ASSERT_EQ(zl.of_zipclose(h, ""), 0);

    // the entry holds exactly the bytes read, and every reader accepts the archive
    auto listing = zip_inspect::python_listing(zip);
    ASSERT_TRUE(listing.ok) << c.name;
    const auto& e = listing.entries.at(0);
    std::string now = original + (std::string(c.name) == "grows" ? appended : "");
    ASSERT_GE(e.size, 2u << 20) << c.name;
    ASSERT_LE(e.size, now.size()) << c.name;
    if (std::string(c.name) == "grows") {
      EXPECT_EQ(e.size, now.size());
    }
    EXPECT_EQ(e.crc, zip_inspect::crc_hex(now.substr(0, e.size))) << c.name;
    EXPECT_EQ(zip_inspect::unzip_test(zip), 0) << c.name;
  }
}

TEST_F(ZipWriter, ReadErrorIsTheResultAndTheEntryIsClosed) {
  // /proc/self/mem opens, but reading at offset 0 fails (nothing is mapped there)
  int probe = ::open("/proc/self/mem", O_RDONLY);
  if (probe < 0) GTEST_SKIP() << "/proc/self/mem cannot be opened here";
  ::close(probe);
  make_file("after.txt", "still usable");
  std::uint32_t h = zl.of_zipopen(zip_windows);
  EXPECT_EQ(zl.of_importfile(h, "/proc/self/mem", ""), -1);
  EXPECT_EQ(zl.of_importfile(h, R"(C:\after.txt)", ""), 0);
  ASSERT_EQ(zl.of_zipclose(h, ""), 0);
  auto listing = zip_inspect::python_listing(zip);
  ASSERT_TRUE(listing.ok);
  EXPECT_EQ(listing.names(), (std::vector<std::string>{"proc/self/mem", "after.txt"}));
  EXPECT_EQ(listing.find("proc/self/mem")->size, 0u);
}

TEST_F(ZipWriter, FailedWriteIsTheResult) {
  if (!api32::testing::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  make_file("data.bin", random_bytes(1u << 20, 11));
  std::uint32_t h = zl.of_zipopen("/dev/full");  // every write fails with "no space"
  ASSERT_NE(h, 0u);
  std::int16_t result = zl.of_importfile(h, R"(C:\data.bin)", "");
  EXPECT_EQ(result, -1);
  EXPECT_NE(zl.of_zipclose(h, ""), 0);
}

TEST_F(ZipWriter, ImportHoldsOneBlockNotTheFile) {
  {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    if (!clear) GTEST_SKIP() << "peak RSS cannot be reset here";
  }
  auto kib = [](const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
      if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::strlen(field)));
    return -1L;
  };
  std::string big = dir / "sparse.bin";
  {
    int fd = ::open(big.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 64 << 20), 0);  // 64 MiB of zeros, no disk blocks
    ::close(fd);
  }
  std::uint32_t h = zl.of_zipopen(zip_windows);
  ASSERT_NE(h, 0u);
  {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
  }
  long before = kib("VmRSS:");
  ASSERT_EQ(zl.of_importfile(h, R"(C:\sparse.bin)", ""), 0);
  long grown_mib = (kib("VmHWM:") - before) / 1024;
  ASSERT_EQ(zl.of_zipclose(h, ""), 0);
  EXPECT_LT(grown_mib, 16);
  auto listing = zip_inspect::python_listing(zip);
  ASSERT_TRUE(listing.ok);
  EXPECT_EQ(listing.entries.at(0).size, 64u << 20);
}

// Takes a minute and 4 GiB of (sparse) disk: run with API32_SLOW_TESTS=1.
TEST_F(ZipWriter, FileOfFourGiBIsWrittenWithZip64) {
  const char* slow = std::getenv("API32_SLOW_TESTS");
  if (!slow || std::string(slow) != "1") GTEST_SKIP() << "set API32_SLOW_TESTS=1 to run";
  std::string big = dir / "huge.bin";
  const std::uint64_t size = (4ull << 30) + 1;
  {
    int fd = ::open(big.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(size - 1)), 0);
    ASSERT_EQ(::pwrite(fd, "!", 1, static_cast<off_t>(size - 1)), 1);
    ::close(fd);
  }
  std::uint32_t h = zl.of_zipopen(zip_windows);
  ASSERT_EQ(zl.of_importfile(h, R"(C:\huge.bin)", ""), 0);
  ASSERT_EQ(zl.of_zipclose(h, ""), 0);
  auto listing = zip_inspect::python_listing(zip);
  ASSERT_TRUE(listing.ok);
  EXPECT_EQ(listing.entries.at(0).size, size);
  EXPECT_GT(listing.entries.at(0).extra_length, 0u);  // the Zip64 record
  EXPECT_EQ(zip_inspect::unzip_test(zip), 0);
}

}  // namespace

namespace {

// The zip format keeps name and comment lengths in 16 bits; minizip would write a longer one with a cut length
// and so a broken archive.
TEST_F(ZipWriter, OversizedNameIsRefusedAndOversizedCommentCutOnACharacterBoundary) {
  make_file("a.txt", "a");
  std::uint32_t h = zl.of_zipopen(zip_windows);
  ASSERT_NE(h, 0u);
  std::string long_prefix(70000, 'p');
  long_prefix += '/';
  EXPECT_EQ(zl.of_importfile(h, R"(C:\a.txt)", long_prefix), -102);
  EXPECT_EQ(zl.of_importfile(h, R"(C:\a.txt)", ""), 0);
  std::string comment;
  for (int i = 0; i < 30000; ++i) comment += "é";  // 60,000 bytes
  comment += "0123456789";                         // 60,010
  for (int i = 0; i < 3000; ++i) comment += "€";   // 3 bytes each: 69,010
  EXPECT_EQ(zl.of_zipclose(h, comment), -102);     // stored, but not whole

  auto listing = zip_inspect::python_listing(zip);
  ASSERT_TRUE(listing.ok);
  EXPECT_EQ(listing.names(), (std::vector<std::string>{"a.txt"}));
  // the longest prefix of whole characters that fits 65,535 bytes: 1,841 of the euro signs
  EXPECT_EQ(listing.comment.size(), 60010u + 1841u * 3u);
  EXPECT_EQ(listing.comment, comment.substr(0, listing.comment.size()));
  EXPECT_EQ(zip_inspect::unzip_test(zip), 0);
}

}  // namespace

namespace {

TEST_F(ZipWriter, OurOwnReaderReadsWhatWeWrite) {
  struct {
    std::string path, entry, content;
  } files[] = {
      {"mod/readme.txt", "mod/readme.txt", "Read me.\r\n"},
      {"mod/data.bin", "mod/data.bin", random_bytes(300000, 21) + std::string(100000, 'x')},
      {"mod/empty.ini", "mod/empty.ini", ""},
      {"mod/Grüße.txt", "mod/Grüße.txt", "Grüße"},
  };
  std::uint32_t h = zl.of_zipopen(zip_windows);
  ASSERT_NE(h, 0u);
  for (const auto& f : files) {
    make_file(f.path, f.content);
    ASSERT_EQ(zl.of_importfile(h, "C:\\" + f.path, ""), 0) << f.path;
  }
  ASSERT_EQ(zl.of_zipclose(h, "our comment"), 0);

  std::uint32_t u = zl.of_unzopen(zip_windows);
  ASSERT_NE(u, 0u);
  std::uint32_t entries = 0, comment_size = 0;
  EXPECT_EQ(zl.of_unzgetglobalinfo(u, entries, comment_size), 0);
  EXPECT_EQ(entries, 4u);
  EXPECT_EQ(comment_size, 11u);
  EXPECT_EQ(zl.of_unzgetglobalcomment(u).substr(0, 11), "our comment");
  for (const auto& f : files) {
    blob data;
    ASSERT_TRUE(zl.of_extractblob(u, f.entry, data)) << f.entry;
    EXPECT_EQ(std::string(data.begin(), data.end()), f.content) << f.entry;
  }
  EXPECT_EQ(zl.of_unzclose(u), 0);
  EXPECT_TRUE(boxes.boxes().empty());
}

}  // namespace
