// ziplib_binding_zip.cpp - the zip library's zlib and minizip (zip.h) declarations, bound to the libraries.
//
// Archives open for writing are handle-table entries of kind zip (ziplib::zip_writer_archive); a stale or
// foreign handle is answered with ZIP_PARAMERROR, as minizip answers a null zipFile. An archive whose handle
// is never closed is finished when its table entry goes away.
#include <zlib.h>

#include <minizip/zip.h>

#include <memory>
#include <string>

#include "api32/win32/handles.hpp"
#include "api32/win32/paths.hpp"
#include "api32/zip/uo_nv_ziplib.hpp"
#include "api32/zip/ziplib_binding_zip_archive.hpp"
#include "api32/zip/ziplib_compress_limits.hpp"
#include "api32/zip/ziplib_writer_names.hpp"

namespace api32 {
namespace {

using ziplib::zip_writer_archive;

std::shared_ptr<zip_writer_archive> archive_of(std::uint32_t handle) {
  return win32::handles().get<zip_writer_archive>(handle, win32::handle_kind::zip);
}

// Lengths that the zip format stores in 16 bits.
constexpr std::size_t max_field = 0xFFFF;
constexpr unsigned long general_purpose_utf8 = 0x800;

const std::uint8_t* bytes_of(const blob& b) {
  static const std::uint8_t empty = 0;
  return b.empty() ? &empty : b.data();
}

}  // namespace

// ---- zlib

std::int16_t uo_nv_ziplib::compress(blob& dest, std::uint32_t& destlen, const blob& src, std::uint32_t srclen) {
  if (srclen > src.size() || destlen > dest.size() || dest.empty()) return z_stream_error;
  uLongf length = destlen;
  int rc = ::compress(dest.data(), &length, bytes_of(src), srclen);
  destlen = static_cast<std::uint32_t>(length);
  return static_cast<std::int16_t>(rc);
}

std::int16_t uo_nv_ziplib::uncompress(blob& dest, std::uint32_t& destlen, const blob& src, std::uint32_t srclen) {
  if (srclen > src.size()) return z_stream_error;
  int rc = ziplib::inflate_growing(bytes_of(src), srclen, destlen, dest);
  destlen = static_cast<std::uint32_t>(dest.size());
  return static_cast<std::int16_t>(rc);
}

// ---- minizip: writing

std::uint32_t uo_nv_ziplib::zipopen(std::string& filename, std::int16_t append) {
  auto native = win32::to_native_path(filename);
  if (!native) return 0;
  auto archive = zip_writer_archive::open(*native, append);
  if (!archive) return 0;
  return win32::handles().add(win32::handle_kind::zip, std::move(archive));
}

std::int16_t uo_nv_ziplib::zipclose(std::uint32_t zipfile, std::string& szcomment) {
  auto archive = win32::handles().take<zip_writer_archive>(zipfile, win32::handle_kind::zip);
  if (!archive) return zip_paramerror;
  // The comment's length is a 16-bit field: a longer comment is cut (on a character boundary) so the archive
  // stays readable, and the result says it was not stored whole.
  std::string comment = szcomment;
  bool cut = false;
  if (comment.size() > max_field) {
    std::size_t end = max_field;
    while (end > 0 && (static_cast<unsigned char>(comment[end]) & 0xC0) == 0x80) --end;
    comment.resize(end);
    cut = true;
  }
  int rc = archive->close(comment.c_str());
  if (rc == ZIP_OK && cut) rc = ZIP_PARAMERROR;
  return static_cast<std::int16_t>(rc);
}

std::int16_t uo_nv_ziplib::zipopennewfileinzip(std::uint32_t file, std::string& filename, zip_fileinfo& zipfi,
                                               std::optional<std::uint32_t>& extrafield_local,
                                               std::uint16_t size_extrafield_local,
                                               std::optional<std::uint32_t>& extrafield_global,
                                               std::uint16_t size_extrafield_global,
                                               std::optional<std::string>& comment, std::int16_t method,
                                               std::int16_t level, std::int16_t zip64) {
  auto archive = archive_of(file);
  if (!archive) return zip_paramerror;
  // An extra field is the ulong passed by address: at most its 4 bytes, none when it is null.
  if (size_extrafield_local > (extrafield_local ? sizeof(std::uint32_t) : 0)) return zip_paramerror;
  if (size_extrafield_global > (extrafield_global ? sizeof(std::uint32_t) : 0)) return zip_paramerror;
  // minizip takes C strings and writes their lengths in 16 bits: refuse what it would cut or corrupt.
  if (filename.size() > max_field || filename.find('\0') != std::string::npos) return zip_paramerror;
  if (comment && (comment->size() > max_field || comment->find('\0') != std::string::npos)) return zip_paramerror;

  tm_unz date = ziplib::clamp_to_dos_range(zipfi.tmz_date);
  ::zip_fileinfo info{};
  info.tmz_date.tm_sec = date.tm_sec;
  info.tmz_date.tm_min = date.tm_min;
  info.tmz_date.tm_hour = date.tm_hour;
  info.tmz_date.tm_mday = date.tm_mday;
  info.tmz_date.tm_mon = date.tm_mon;
  info.tmz_date.tm_year = date.tm_year;
  info.dosDate = zipfi.dos_date;
  info.internal_fa = zipfi.internal_fa;
  info.external_fa = zipfi.external_fa;

  unsigned long flags = ziplib::needs_utf8_flag(filename) ? general_purpose_utf8 : 0;
  int rc = archive->open_entry(filename.c_str(), info, extrafield_local ? &*extrafield_local : nullptr,
                               size_extrafield_local, extrafield_global ? &*extrafield_global : nullptr,
                               size_extrafield_global, comment ? comment->c_str() : nullptr, method, level, flags,
                               zip64 != 0 ? 1 : 0);
  return static_cast<std::int16_t>(rc);
}

std::int16_t uo_nv_ziplib::zipwriteinfileinzip(std::uint32_t zipfile, blob& buffer, std::int32_t usizebuf) {
  auto archive = archive_of(zipfile);
  if (!archive) return zip_paramerror;
  if (usizebuf < 0 || static_cast<std::size_t>(usizebuf) > buffer.size()) return zip_paramerror;
  return static_cast<std::int16_t>(archive->write(bytes_of(buffer), static_cast<unsigned>(usizebuf)));
}

std::int16_t uo_nv_ziplib::zipclosefileinzip(std::uint32_t zipfile) {
  auto archive = archive_of(zipfile);
  if (!archive) return zip_paramerror;
  return static_cast<std::int16_t>(archive->close_entry());
}

}  // namespace api32
