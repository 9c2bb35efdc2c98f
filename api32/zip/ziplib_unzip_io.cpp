// ziplib_unzip_io.cpp - the file functions minizip reads archives through: the runtime's files, Windows paths,
// and a read-ahead buffer.
//
// minizip parses the central directory a few bytes at a time and seeks before every record; over stdio each
// seek costs a system call. Here a seek only moves a position, and reads are served from two 64 KiB windows,
// each refilled with one positioned read: one stays on the directory while the other follows the entries'
// data, so a walk that extracts as it goes does not read the directory again for every entry.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "api32/runtime/files.hpp"
#include "api32/zip/ziplib_unzip_archive.hpp"

namespace api32::unzipbinding {
namespace {

constexpr std::size_t window_size = 64 * 1024;

struct window {
  std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(window_size);
  std::uint64_t start = 0;
  std::size_t length = 0;
  bool holds(std::uint64_t position) const { return position - start < length; }
};

}  // namespace

struct archive_file {
  std::int32_t number = -1;
  std::uint64_t size = 0;
  std::uint64_t position = 0;
  window windows[2];
  int current = 0;  // the window read last; the other one is refilled first
  bool failed = false;
  ~archive_file() {
    if (number > 0) files::file_close(number);
  }
};

namespace {

voidpf ZCALLBACK open_archive(voidpf opaque, const void* filename, int mode) {
  if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ || filename == nullptr) return nullptr;
  const char* path = static_cast<const char*>(filename);
  auto file = std::make_unique<archive_file>();
  std::int64_t length = files::file_length(path);
  if (length < 0) return nullptr;
  file->size = static_cast<std::uint64_t>(length);
  file->number = files::file_open(path, files::file_access::read);
  if (file->number < 0) return nullptr;
  if (opaque) *static_cast<archive_file**>(opaque) = file.get();
  return file.release();
}

uLong ZCALLBACK read_archive(voidpf, voidpf stream, void* buffer, uLong size) {
  auto& file = *static_cast<archive_file*>(stream);
  auto* out = static_cast<std::uint8_t*>(buffer);
  // minizip reads the records of the directory one byte at a time: serve those without further ado
  if (const window& w = file.windows[file.current]; size == 1 && w.holds(file.position)) {
    *out = w.bytes[static_cast<std::size_t>(file.position - w.start)];
    ++file.position;
    return 1;
  }
  uLong done = 0;
  while (done < size && file.position < file.size) {
    if (!file.windows[file.current].holds(file.position) && file.windows[1 - file.current].holds(file.position))
      file.current = 1 - file.current;
    if (const window& w = file.windows[file.current]; w.holds(file.position)) {
      auto at = static_cast<std::size_t>(file.position - w.start);
      std::size_t n = std::min<std::size_t>(w.length - at, size - done);
      std::memcpy(out + done, w.bytes.data() + at, n);
      done += n;
      file.position += n;
      continue;
    }
    if (size - done >= window_size) {  // a large read goes straight to the caller's buffer
      std::int64_t n = files::file_read_at(file.number, file.position, out + done, size - done);
      if (n <= 0) break;
      done += static_cast<uLong>(n);
      file.position += static_cast<std::uint64_t>(n);
      continue;
    }
    window& refill = file.windows[1 - file.current];
    std::int64_t n = files::file_read_at(file.number, file.position, refill.bytes.data(), window_size);
    if (n <= 0) {
      file.failed = n < 0;
      break;
    }
    refill.start = file.position;
    refill.length = static_cast<std::size_t>(n);
    file.current = 1 - file.current;
  }
  return done;
}

ZPOS64_T ZCALLBACK tell_archive(voidpf, voidpf stream) { return static_cast<archive_file*>(stream)->position; }

long ZCALLBACK seek_archive(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  auto& file = *static_cast<archive_file*>(stream);
  std::uint64_t base = origin == ZLIB_FILEFUNC_SEEK_SET   ? 0
                       : origin == ZLIB_FILEFUNC_SEEK_CUR ? file.position
                                                          : file.size;
  if (origin != ZLIB_FILEFUNC_SEEK_SET && origin != ZLIB_FILEFUNC_SEEK_CUR && origin != ZLIB_FILEFUNC_SEEK_END)
    return -1;
  file.position = base + offset;  // minizip seeks backwards with an unsigned offset that wraps around
  return 0;
}

int ZCALLBACK close_archive(voidpf, voidpf stream) {
  delete static_cast<archive_file*>(stream);
  return 0;
}

int ZCALLBACK archive_error(voidpf, voidpf stream) { return static_cast<archive_file*>(stream)->failed ? 1 : 0; }

uLong ZCALLBACK refuse_write(voidpf, voidpf, const void*, uLong) { return 0; }

}  // namespace

std::int64_t read_archive_bytes(archive_file& file, std::uint64_t offset, std::uint8_t* buffer, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    std::int64_t n = files::file_read_at(file.number, offset + done, buffer + done, size - done);
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return static_cast<std::int64_t>(done);
}

unzFile open_archive_file(const std::string& path, archive_file** io) {
  zlib_filefunc64_def functions{};
  functions.zopen64_file = open_archive;
  functions.zread_file = read_archive;
  functions.zwrite_file = refuse_write;
  functions.ztell64_file = tell_archive;
  functions.zseek64_file = seek_archive;
  functions.zclose_file = close_archive;
  functions.zerror_file = archive_error;
  functions.opaque = io;
  return unzOpen2_64(path.c_str(), &functions);
}

}  // namespace api32::unzipbinding
