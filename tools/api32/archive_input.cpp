// archive_input.cpp - archives from files or spooled from standard input.
#include "archive_input.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "api32/runtime/text.hpp"
#include "host_setup.hpp"

namespace fs = std::filesystem;

namespace api32::tool {
namespace {

constexpr char rar_magic[] = "Rar!\x1a\x07";

bool starts_as_rar(const char* bytes, std::size_t size) { return size >= 6 && std::memcmp(bytes, rar_magic, 6) == 0; }

bool write_all(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t written = ::write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace

bool is_rar_archive(const std::string& path) {
  std::string extension = api32::text::upper(api32::text::right(path, 4));
  if (extension == ".RAR") return true;
  if (extension == ".ZIP") return false;
  std::ifstream in(native_path(path), std::ios::binary);
  char head[6] = {};
  in.read(head, sizeof head);
  return starts_as_rar(head, static_cast<std::size_t>(in.gcount()));
}

archive_input::archive_input(const std::string& argument) : shown_(argument), path_(argument) {
  if (argument == "-") {
    shown_ = "(standard input)";
    ok_ = spool_standard_input();
    return;
  }
  std::error_code ec;
  if (!fs::is_regular_file(native_path(argument), ec)) {
    fail("no such archive: " + argument);
    return;
  }
  ok_ = true;
}

archive_input::~archive_input() {
  if (spool_folder_.empty()) return;
  std::error_code ec;
  fs::remove_all(spool_folder_, ec);
}

bool archive_input::spool_standard_input() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/api32-stdin-XXXXXX";
  if (!::mkdtemp(pattern.data())) {
    fail("cannot save standard input: " + std::string(std::strerror(errno)));
    return false;
  }
  spool_folder_ = pattern;
  // the first bytes tell the name: the library and the front-end choose the format by the extension
  std::string buffer(64 * 1024, '\0');
  std::size_t filled = 0;
  bool failed = false;
  auto read_some = [&]() -> ssize_t {
    for (;;) {
      ssize_t n = ::read(STDIN_FILENO, buffer.data() + filled, buffer.size() - filled);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) failed = true;
      return n;
    }
  };
  while (filled < 6) {
    ssize_t n = read_some();
    if (n <= 0) break;
    filled += static_cast<std::size_t>(n);
  }
  std::string file = spool_folder_ + (starts_as_rar(buffer.data(), filled) ? "/stdin.rar" : "/stdin.zip");
  int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) {
    fail("cannot save standard input: " + std::string(std::strerror(errno)));
    return false;
  }
  bool written = write_all(fd, buffer.data(), filled);
  while (written && !failed) {
    filled = 0;
    ssize_t n = read_some();
    if (n <= 0) break;
    written = write_all(fd, buffer.data(), static_cast<std::size_t>(n));
  }
  written = ::close(fd) == 0 && written;
  if (failed || !written) {
    fail(std::string("cannot save standard input: ") +
         (failed ? "it cannot be read" : "the temporary cannot be written"));
    return false;
  }
  path_ = file;
  return true;
}

}  // namespace api32::tool
