// ziplib_binding_unzip.cpp - the zip library's unzip declarations (unzOpen ... unzReadCurrentFile), bound to
// the system's minizip.
//
// minizip's unzFile pointers live in the handle table as entries of kind unzip; a stale or foreign handle is
// answered with UNZ_PARAMERROR, as minizip answers a null unzFile. minizip's structures use 64-bit fields here,
// so the records are copied field by field; a Zip64 size beyond 32 bits reads as 0xFFFFFFFF. Entry names and
// comments come back as UTF-8 (see ziplib_entry_names.hpp), cut to the buffer size the caller passes.
#include <unzip.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <vector>

#include "api32/runtime/text.hpp"
#include "api32/win32/handles.hpp"
#include "api32/zip/uo_nv_ziplib.hpp"
#include "api32/zip/ziplib_entry_names.hpp"
#include "api32/zip/ziplib_unzip_archive.hpp"

namespace api32 {
namespace {

using unzipbinding::unzip_archive;

std::shared_ptr<unzip_archive> archive_of(std::uint32_t handle) {
  return win32::handles().get<unzip_archive>(handle, win32::handle_kind::unzip);
}

std::int16_t to_code(int value) { return static_cast<std::int16_t>(std::clamp(value, SHRT_MIN, SHRT_MAX)); }

std::uint32_t to_ulong(ZPOS64_T value) { return value > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(value); }

// The current entry's record (with its Zip64 sizes) and raw name; minizip's code (UNZ_PARAMERROR when there
// is no current entry). `zip64_sizes` tells whether the sizes came from the Zip64 extra field.
int current_entry(unzip_archive& archive, unz_file_info64& info, std::string_view& raw_name,
                  bool* zip64_sizes = nullptr) {
  int rc = unzGetCurrentFileInfo64(archive.file, &info, archive.name_buffer.data(),
                                   static_cast<uLong>(archive.name_buffer.size()), nullptr, 0, nullptr, 0);
  if (rc != UNZ_OK) return rc;
  raw_name = std::string_view(archive.name_buffer.data(),
                              std::min<std::size_t>(info.size_filename, archive.name_buffer.size()));
  bool replaced = unzipbinding::apply_zip64_sizes(archive, info);
  if (zip64_sizes) *zip64_sizes = replaced;
  return rc;
}

}  // namespace

/// unzOpen: the archive at a Windows path; 0 when it cannot be opened or is not a zip archive.
std::uint32_t uo_nv_ziplib::unzopen(const std::string& filename) {
  auto archive = std::make_shared<unzip_archive>();
  archive->file = unzipbinding::open_archive_file(filename, &archive->io);
  if (!archive->file && !unzipbinding::read_empty_archive(filename, archive->empty_archive_comment)) return 0;
  return win32::handles().add(win32::handle_kind::unzip, std::move(archive));  // 0 when the table is full
}

/// unzClose: closes the archive (and an entry still open in it); the handle is dead afterwards.
std::int16_t uo_nv_ziplib::unzclose(std::uint32_t unzfile) {
  auto archive = win32::handles().take<unzip_archive>(unzfile, win32::handle_kind::unzip);
  if (!archive) return UNZ_PARAMERROR;
  return to_code(archive->close());
}

/// unzGetGlobalComment: the comment's first `usizebuf` bytes into `szcomment`; the byte count, or a negative
/// code with `szcomment` untouched.
std::int16_t uo_nv_ziplib::unzgetglobalcomment(std::uint32_t unzfile, std::string& szcomment, std::uint32_t usizebuf) {
  auto archive = archive_of(unzfile);
  if (!archive) return UNZ_PARAMERROR;
  std::string_view raw;
  int rc;
  if (!archive->file) {
    raw = std::string_view(archive->empty_archive_comment).substr(0, usizebuf);
    rc = static_cast<int>(raw.size());
  } else {
    archive->text_buffer.resize(std::min<std::uint32_t>(usizebuf, 0xFFFF) + 1);
    rc = unzGetGlobalComment(archive->file, archive->text_buffer.data(),
                             static_cast<uLong>(archive->text_buffer.size() - 1));
    if (rc < 0) return to_code(rc);
    raw = std::string_view(archive->text_buffer.data(), static_cast<std::size_t>(rc));
  }
  szcomment = zipnames::truncate_utf8(zipnames::decode(raw, 0), usizebuf);
  return to_code(rc);
}

std::int16_t uo_nv_ziplib::unzgetglobalinfo(std::uint32_t unzfile, unz_global_info& str_global_info) {
  auto archive = archive_of(unzfile);
  if (!archive) return UNZ_PARAMERROR;
  unz_global_info64 info{};
  info.size_comment = archive->empty_archive_comment.size();
  int rc = archive->file ? unzGetGlobalInfo64(archive->file, &info) : UNZ_OK;
  if (rc == UNZ_OK) {
    str_global_info.number_entry = to_ulong(info.number_entry);
    str_global_info.size_comment = to_ulong(info.size_comment);
  }
  return to_code(rc);
}

std::int16_t uo_nv_ziplib::unzgotofirstfile(std::uint32_t unzfile) {
  auto archive = archive_of(unzfile);
  if (!archive) return UNZ_PARAMERROR;
  return archive->file ? to_code(unzGoToFirstFile(archive->file)) : UNZ_END_OF_LIST_OF_FILE;
}

std::int16_t uo_nv_ziplib::unzgotonextfile(std::uint32_t unzfile) {
  auto archive = archive_of(unzfile);
  if (!archive) return UNZ_PARAMERROR;
  return archive->file ? to_code(unzGoToNextFile(archive->file)) : UNZ_END_OF_LIST_OF_FILE;
}

/// unzGetCurrentFileInfo: the current entry's record, and its name, extra field and comment cut to the
/// buffer sizes given (a size of 0 leaves that buffer untouched). On failure nothing is written.
std::int16_t uo_nv_ziplib::unzgetcurrentfileinfo(std::uint32_t unzfile, unz_fileinfo& file_info,
                                                 std::string& szfilename, std::uint32_t filenamesize,
                                                 std::string& extrafield, std::uint32_t extrasize, std::string& comment,
                                                 std::uint32_t cmtsize) {
  auto archive = archive_of(unzfile);
  if (!archive) return UNZ_PARAMERROR;
  unz_file_info64 info{};
  std::string_view raw_name;
  if (int rc = current_entry(*archive, info, raw_name); rc != UNZ_OK) return to_code(rc);
  std::string extra, entry_comment;
  std::size_t extra_size = std::min<std::size_t>(info.size_file_extra, extrasize);
  std::size_t comment_size = std::min<std::size_t>(info.size_file_comment, cmtsize);
  if (extra_size + comment_size > 0) {  // most entries have neither: no second read of the record
    auto& buffer = archive->text_buffer;
    buffer.resize(extra_size + comment_size + 1);
    int rc = unzGetCurrentFileInfo64(archive->file, nullptr, nullptr, 0, buffer.data(), static_cast<uLong>(extra_size),
                                     buffer.data() + extra_size, static_cast<uLong>(comment_size));
    if (rc != UNZ_OK) return to_code(rc);
    extra.assign(buffer.data(), extra_size);
    entry_comment = zipnames::decode(std::string_view(buffer.data() + extra_size, comment_size),
                                     static_cast<std::uint32_t>(info.flag));
  }

  file_info.version = static_cast<std::uint32_t>(info.version);
  file_info.version_needed = static_cast<std::uint32_t>(info.version_needed);
  file_info.flag = static_cast<std::uint32_t>(info.flag);
  file_info.compression_method = static_cast<std::uint32_t>(info.compression_method);
  file_info.dosdate = static_cast<std::uint32_t>(info.dosDate);
  file_info.crc = static_cast<std::uint32_t>(info.crc);
  file_info.compressed_size = to_ulong(info.compressed_size);
  file_info.uncompressed_size = to_ulong(info.uncompressed_size);
  file_info.size_filename = static_cast<std::uint32_t>(info.size_filename);
  file_info.size_file_extra = static_cast<std::uint32_t>(info.size_file_extra);
  file_info.size_file_comment = static_cast<std::uint32_t>(info.size_file_comment);
  file_info.disk_num_start = static_cast<std::uint32_t>(info.disk_num_start);
  file_info.internal_fa = static_cast<std::uint32_t>(info.internal_fa);
  file_info.external_fa = static_cast<std::uint32_t>(info.external_fa);
  file_info.tmu_date = tm_unz{};
  file_info.tmu_date.tm_sec = static_cast<std::uint16_t>(info.tmu_date.tm_sec);
  file_info.tmu_date.tm_min = static_cast<std::uint16_t>(info.tmu_date.tm_min);
  file_info.tmu_date.tm_hour = static_cast<std::uint16_t>(info.tmu_date.tm_hour);
  file_info.tmu_date.tm_mday = static_cast<std::uint16_t>(info.tmu_date.tm_mday);
  file_info.tmu_date.tm_mon = static_cast<std::uint16_t>(info.tmu_date.tm_mon);
  file_info.tmu_date.tm_year = static_cast<std::uint16_t>(info.tmu_date.tm_year);

  if (filenamesize > 0)
    zipnames::decode_into(szfilename, raw_name, static_cast<std::uint32_t>(info.flag), filenamesize);
  if (extrasize > 0) extrafield = std::move(extra);
  if (cmtsize > 0) comment = zipnames::truncate_utf8(std::move(entry_comment), cmtsize);
  return UNZ_OK;
}

/// unzLocateFile: makes the first entry whose decoded name equals `filename` current. `icase` 1 compares
/// exactly; 0 (the system's default, as on Windows) and 2 without regard to case. UNZ_OK when found, else
/// UNZ_END_OF_LIST_OF_FILE (or the code of a damaged directory) with the current entry as it was.
std::int16_t uo_nv_ziplib::unzlocatefile(std::uint32_t unzfile, const std::string& filename, std::int16_t icase) {
  auto archive = archive_of(unzfile);
  if (!archive) return UNZ_PARAMERROR;
  if (!archive->file) return UNZ_END_OF_LIST_OF_FILE;
  unz64_file_pos saved{};
  bool had_current = unzGetFilePos64(archive->file, &saved) == UNZ_OK;
  int rc = unzGoToFirstFile(archive->file);
  std::string name;
  while (rc == UNZ_OK) {
    unz_file_info64 info{};
    std::string_view raw_name;
    if (rc = current_entry(*archive, info, raw_name); rc != UNZ_OK) break;
    zipnames::decode_into(name, raw_name, static_cast<std::uint32_t>(info.flag), std::string::npos);
    if (icase == 1 ? name == filename : text::iequals(name, filename)) return UNZ_OK;
    rc = unzGoToNextFile(archive->file);
  }
  if (had_current) unzGoToFilePos64(archive->file, &saved);
  return to_code(rc);
}

/// unzOpenCurrentFile: opens the current entry for reading. An entry that cannot be decoded faithfully -
/// encrypted, or compressed with a method other than stored and deflate - is refused with UNZ_BADZIPFILE
/// rather than read as raw bytes. An entry with Zip64 fields is read by the binding itself (see
/// ziplib_unzip_archive.hpp), from where minizip found its local header or, past 4 GiB, from the extra field.
std::int16_t uo_nv_ziplib::unzopencurrentfile(std::uint32_t unzfile) {
  auto archive = archive_of(unzfile);
  if (!archive) return UNZ_PARAMERROR;
  unz_file_info64 info{};
  std::string_view raw_name;
  bool zip64_sizes = false;
  if (int rc = current_entry(*archive, info, raw_name, &zip64_sizes); rc != UNZ_OK) return to_code(rc);
  if ((info.flag & 1) != 0) return UNZ_BADZIPFILE;
  if (info.compression_method != 0 && info.compression_method != Z_DEFLATED) return UNZ_BADZIPFILE;
  archive->zip64_entry.reset();
  int rc = unzOpenCurrentFile(archive->file);
  if (rc == UNZ_OK && !zip64_sizes) return UNZ_OK;  // minizip reads it
  std::uint64_t data_start = 0;
  if (rc == UNZ_OK) {
    data_start = unzGetCurrentFileZStreamPos64(archive->file);
    unzCloseCurrentFile(archive->file);
  } else {
    // minizip looked for the local header at the placeholder offset of an entry that starts past 4 GiB
    std::uint64_t local_header = 0;
    if (rc != UNZ_BADZIPFILE || !archive->io || !unzipbinding::zip64_local_header(*archive, local_header) ||
        !unzipbinding::data_behind_local_header(*archive->io, local_header, data_start))
      return to_code(rc);
  }
  archive->zip64_entry = std::make_unique<unzipbinding::zip64_reader>(*archive->io, data_start, info);
  return UNZ_OK;
}

/// unzCloseCurrentFile: UNZ_CRCERROR when the whole entry was read and its CRC does not match.
std::int16_t uo_nv_ziplib::unzclosecurrentfile(std::uint32_t unzfile) {
  auto archive = archive_of(unzfile);
  if (!archive) return UNZ_PARAMERROR;
  if (auto entry = std::move(archive->zip64_entry)) return to_code(entry->close());
  return to_code(unzCloseCurrentFile(archive->file));
}

/// unzReadCurrentFile: up to `datalen` bytes of the open entry into the start of `data`; the count, 0 at the
/// end of the entry, or a negative code. One read delivers at most 32767 bytes, so the count fits the result;
/// `data` is made long enough for the bytes asked for, never written past.
std::int16_t uo_nv_ziplib::unzreadcurrentfile(std::uint32_t unzfile, blob& data, std::uint32_t datalen) {
  auto archive = archive_of(unzfile);
  if (!archive) return UNZ_PARAMERROR;
  unsigned length = std::min<std::uint32_t>(datalen, SHRT_MAX);
  if (data.size() < length) data.resize(length);
  if (archive->zip64_entry) return to_code(archive->zip64_entry->read(data.data(), length));
  return to_code(unzReadCurrentFile(archive->file, data.data(), length));
}

/// unzeof: 1 when the open entry has delivered all its declared bytes, 0 when not, a negative code when no
/// entry is open.
std::int16_t uo_nv_ziplib::unzeof(std::uint32_t unzfile) {
  auto archive = archive_of(unzfile);
  if (!archive) return UNZ_PARAMERROR;
  if (archive->zip64_entry) return archive->zip64_entry->at_end() ? 1 : 0;
  return to_code(::unzeof(archive->file));
}

}  // namespace api32
