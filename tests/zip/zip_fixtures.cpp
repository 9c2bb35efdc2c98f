// zip_fixtures.cpp - fixture archives made at start-up, the read spy, and the base of the zip tests.
#include "zip_fixtures.hpp"

#include <filesystem>
#include <memory>
#include <mutex>

#include "api32/runtime/registry.hpp"
#include "api32/win32/handles.hpp"
#include "api32/win32/paths.hpp"
#include "api32/zip/ziplib_unzip_archive.hpp"

namespace ziptest {
namespace {

namespace fs = std::filesystem;
using api32::testing::run;
using api32::testing::write_file;

// Info-ZIP zip's archives: a tree with a 20000-byte file, Zip64, a symbolic link, encryption, a UTF-8 name.
void make_infozip_archives(const std::string& dir) {
  std::string src = dir + "/infozip-src";
  fs::create_directories(src + "/data");
  fs::create_directories(src + "/Docs");
  write_file(src + "/data/readme.txt", "read me\n");
  write_file(src + "/a.txt", pattern(20000));
  write_file(src + "/Docs/b.txt", "bee\n");
  write_file(src + "/Grüße.txt", "umlauts\n");
  fs::create_symlink("/etc/passwd", src + "/link");
  std::string in = "cd '" + src + "' && ";
  std::string quiet = " >/dev/null 2>&1";
  bool ok = run(in + "zip -q -r ../infozip-tree.zip a.txt data Docs" + quiet) == 0 &&
            run(in + "zip -q -fz ../infozip-zip64.zip a.txt data/readme.txt" + quiet) == 0 &&
            run(in + "zip -q -y ../infozip-symlink.zip link" + quiet) == 0 &&
            run(in + "zip -q -P secret ../infozip-encrypted.zip a.txt" + quiet) == 0 &&
            run(in + "zip -q ../infozip-names.zip Grüße.txt" + quiet) == 0;
  if (!ok) throw std::runtime_error("Info-ZIP zip could not make the fixtures");
  fs::remove_all(src);
}

std::mutex spy_mutex;
std::vector<read_call> spied;

void record_read(unsigned asked, int result) {
  std::lock_guard lock(spy_mutex);
  spied.push_back({asked, result});
}

}  // namespace

std::string pattern(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + i / 251) % 256);
  return s;
}

const api32::testing::temp_dir& fixtures() {
  static const std::unique_ptr<api32::testing::temp_dir> dir = [] {
    auto d = std::make_unique<api32::testing::temp_dir>();
    std::string script = api32::testing::source_dir() + "/tests/zip/make_fixtures.py";
    if (run(std::string(api32::testing::python()) + " '" + script + "' '" + d->path() + "'") != 0)
      throw std::runtime_error("make_fixtures.py failed");
    make_infozip_archives(d->path());
    return d;
  }();
  return *dir;
}

::testing::AssertionResult same_bytes(const std::string& actual, const std::string& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  std::size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  return ::testing::AssertionFailure() << actual.size() << " bytes where " << expected.size()
                                       << " were expected; first difference at offset " << at;
}

std::string archive(const std::string& name) { return fixtures().windows(name); }

std::string native_fixture(const std::string& name) {
  if (name.find('/') != std::string::npos) return api32::testing::source_dir() + "/tests/fixtures/zip/" + name;
  return fixtures() / name;
}

std::string windows(const std::string& native_path) { return api32::win32::to_windows_path(native_path); }

read_spy::read_spy() {
  std::lock_guard lock(spy_mutex);
  spied.clear();
  api32::unzipbinding::set_read_observer(record_read);
}

read_spy::~read_spy() { api32::unzipbinding::set_read_observer(nullptr); }

std::vector<read_call> read_spy::calls() const {
  std::lock_guard lock(spy_mutex);
  return spied;
}

void zip_test::SetUpTestSuite() {
  fixtures();
  api32::registry::reset();
  api32::registry::use_content_types(false);
  api32::registry::load_reg_text(
      "REGEDIT4\n"
      "[HKEY_CLASSES_ROOT\\.txt]\n@=\"txtfile\"\n"
      "[HKEY_CLASSES_ROOT\\txtfile]\n@=\"Text Document\"\n"
      "[HKEY_CLASSES_ROOT\\.bin]\n@=\"binfile\"\n",  // a class without a description
      "zip-tests.reg");
}

void zip_test::TearDownTestSuite() {
  api32::registry::reset();
  api32::registry::use_content_types(true);
}

void zip_test::SetUp() { open_archives_ = api32::win32::handles().count(api32::win32::handle_kind::unzip); }

void zip_test::TearDown() {
  EXPECT_EQ(api32::win32::handles().count(api32::win32::handle_kind::unzip), open_archives_)
      << "an archive opened by the test is still open";
}

open_archive::open_archive(api32::uo_nv_ziplib& zl, const std::string& name)
    : zl_(zl), handle_(zl.of_unzopen(archive(name))) {}

open_archive::~open_archive() {
  if (handle_ != 0) zl_.of_unzclose(handle_);
}

}  // namespace ziptest
