// ziplib_binding_unzip.cpp - the zip library's unzip declarations (unzOpen ... unzReadCurrentFile), answered
// by the binding's own reader (ziplib_unzip_archive.hpp) with minizip's codes.
//
// Archives live in the handle table as entries of kind unzip; a stale or foreign handle is answered with
// UNZ_PARAMERROR, as minizip answers a null unzFile. Sizes of 4 GiB and more read as 0xFFFFFFFF in the 32-bit
// records. Entry names and comments come back as UTF-8 (see ziplib_entry_names.hpp), cut to the buffer size
// the caller passes.
#include <algorithm>
#include <climits>
#include <memory>

#include "api32/runtime/text.hpp"
#include "api32/win32/handles.hpp"
#include "api32/zip/uo_nv_ziplib.hpp"
#include "api32/zip/ziplib_entry_names.hpp"
#include "api32/zip/ziplib_unzip_archive.hpp"

namespace api32 {
namespace {

using unzipbinding::unzip_archive;
namespace unz = unzipbinding;

std::shared_ptr<unzip_archive> archive_of(std::uint32_t handle) {
  return win32::handles().get<unzip_archive>(handle, win32::handle_kind::unzip);
}

std::int16_t to_code(int value) { return static_cast<std::int16_t>(std::clamp(value, SHRT_MIN, SHRT_MAX)); }

std::uint32_t to_ulong(std::uint64_t value) {
  return value > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(value);
}

// The parts of an MS-DOS date and time, as minizip splits them (a month of 0 gives the month -1, kept in
// the record's 16-bit field).
tm_unz split_dos_date(std::uint32_t dosdate) {
  tm_unz t{};
  std::uint32_t day = dosdate >> 16;
  t.tm_mday = static_cast<std::uint16_t>(day & 0x1F);
  t.tm_mon = static_cast<std::uint16_t>(((day & 0x1E0) >> 5) - 1);
  t.tm_year = static_cast<std::uint16_t>(((day & 0xFE00) >> 9) + 1980);
  t.tm_hour = static_cast<std::uint16_t>((dosdate & 0xF800) >> 11);
  t.tm_min = static_cast<std::uint16_t>((dosdate & 0x7E0) >> 5);
  t.tm_sec = static_cast<std::uint16_t>(2 * (dosdate & 0x1F));
  return t;
}

}  // namespace

/// unzOpen: the archive at a Windows path; 0 when it cannot be opened, is not a zip archive, its central
/// directory is not where its end records say, or a record of the directory cannot be read (then the walk
/// would end early, and a listing would look whole without being so).
std::uint32_t uo_nv_ziplib::unzopen(const std::string& filename) {
  auto archive = std::make_shared<unzip_archive>();
  archive->file = unz::archive_file::open(filename);
  if (!archive->file || !unz::find_directory(*archive->file, archive->dir)) return 0;
  if (!archive->overlaps.build(*archive->file, archive->dir)) return 0;
  return win32::handles().add(win32::handle_kind::unzip, std::move(archive));  // 0 when the table is full
}

/// unzClose: closes the archive (and an entry still open in it); the handle is dead afterwards.
std::int16_t uo_nv_ziplib::unzclose(std::uint32_t unzfile) {
  auto archive = win32::handles().take<unzip_archive>(unzfile, win32::handle_kind::unzip);
  if (!archive) return unz_paramerror;
  archive->entry.reset();
  return unz_ok;
}

/// unzGetGlobalComment: the comment's first `usizebuf` bytes into `szcomment`; the byte count, or a negative
/// code with `szcomment` untouched.
std::int16_t uo_nv_ziplib::unzgetglobalcomment(std::uint32_t unzfile, std::string& szcomment, std::uint32_t usizebuf) {
  auto archive = archive_of(unzfile);
  if (!archive) return unz_paramerror;
  std::string raw(std::min<std::uint32_t>(usizebuf, archive->dir.comment_present), '\0');
  if (!archive->file->read_exact(archive->dir.comment_position, raw.data(), raw.size())) return z_errno;
  szcomment = zipnames::truncate_utf8(zipnames::decode(raw, 0), usizebuf);
  return to_code(static_cast<int>(raw.size()));
}

std::int16_t uo_nv_ziplib::unzgetglobalinfo(std::uint32_t unzfile, unz_global_info& str_global_info) {
  auto archive = archive_of(unzfile);
  if (!archive) return unz_paramerror;
  str_global_info.number_entry = to_ulong(archive->dir.entries);
  str_global_info.size_comment = archive->dir.comment_size;
  return unz_ok;
}

std::int16_t uo_nv_ziplib::unzgotofirstfile(std::uint32_t unzfile) {
  auto archive = archive_of(unzfile);
  if (!archive) return unz_paramerror;
  const unz::directory& dir = archive->dir;
  if ((dir.count_known && dir.entries == 0) || dir.start >= dir.end) {
    archive->current_ok = false;
    return unz_end_of_list_of_file;
  }
  return to_code(archive->go_to(dir.start, 0));
}

/// unzGoToNextFile: UNZ_END_OF_LIST_OF_FILE after the last entry (the current entry stays as it was), the code
/// of a record that cannot be read (then there is no current entry).
std::int16_t uo_nv_ziplib::unzgotonextfile(std::uint32_t unzfile) {
  auto archive = archive_of(unzfile);
  if (!archive) return unz_paramerror;
  if (!archive->current_ok) return unz_end_of_list_of_file;
  const unz::directory& dir = archive->dir;
  const unz::central_entry& current = archive->current;
  std::uint64_t next = current.position + current.record_size();
  if ((dir.count_known && current.index + 1 >= dir.entries) || next >= dir.end) return unz_end_of_list_of_file;
  return to_code(archive->go_to(next, current.index + 1));
}

/// unzGetCurrentFileInfo: the current entry's record, and its name, extra field and comment cut to the
/// buffer sizes given (a size of 0 leaves that buffer untouched). On failure nothing is written.
std::int16_t uo_nv_ziplib::unzgetcurrentfileinfo(std::uint32_t unzfile, unz_fileinfo& file_info,
                                                 std::string& szfilename, std::uint32_t filenamesize,
                                                 std::string& extrafield, std::uint32_t extrasize, std::string& comment,
                                                 std::uint32_t cmtsize) {
  auto archive = archive_of(unzfile);
  if (!archive) return unz_paramerror;
  if (!archive->current_ok) return unz_paramerror;
  const unz::central_entry& e = archive->current;
  std::string extra, raw_comment;
  if ((extrasize > 0 && e.extra_size > 0) || (cmtsize > 0 && e.comment_size > 0)) {  // most entries have neither
    if (!unz::read_extra_and_comment(*archive->file, e, extrasize, extra, cmtsize, raw_comment)) return z_errno;
  }

  file_info.version = e.version;
  file_info.version_needed = e.version_needed;
  file_info.flag = e.flag;
  file_info.compression_method = e.method;
  file_info.dosdate = e.dosdate;
  file_info.crc = e.crc;
  file_info.compressed_size = to_ulong(e.compressed_size);
  file_info.uncompressed_size = to_ulong(e.uncompressed_size);
  file_info.size_filename = e.name_size;
  file_info.size_file_extra = e.extra_size;
  file_info.size_file_comment = e.comment_size;
  file_info.disk_num_start = e.disk_start;
  file_info.internal_fa = e.internal_fa;
  file_info.external_fa = e.external_fa;
  file_info.tmu_date = split_dos_date(e.dosdate);

  if (filenamesize > 0) zipnames::decode_into(szfilename, e.name, e.flag, filenamesize);
  if (extrasize > 0) extrafield = std::move(extra);
  if (cmtsize > 0) comment = zipnames::truncate_utf8(zipnames::decode(raw_comment, e.flag), cmtsize);
  return unz_ok;
}

/// unzLocateFile: makes the first entry whose decoded name equals `filename` current. `icase` 1 compares
/// exactly; 0 (the system's default, as on Windows) and 2 without regard to case. UNZ_OK when found, else
/// UNZ_END_OF_LIST_OF_FILE (or the code of a damaged directory) with the current entry as it was.
std::int16_t uo_nv_ziplib::unzlocatefile(std::uint32_t unzfile, const std::string& filename, std::int16_t icase) {
  auto archive = archive_of(unzfile);
  if (!archive) return unz_paramerror;
  unz::central_entry saved = archive->current;
  bool saved_ok = archive->current_ok;
  unz::entry_problem saved_problem = archive->problem;
  std::int16_t rc = unzgotofirstfile(unzfile);
  while (rc == unz_ok) {
    zipnames::decode_into(archive->decoded_name, archive->current.name, archive->current.flag, std::string::npos);
    const std::string& name = archive->decoded_name;
    if (icase == 1 ? name == filename : text::iequals(name, filename)) return unz_ok;
    rc = unzgotonextfile(unzfile);
  }
  archive->current = std::move(saved);
  archive->current_ok = saved_ok;
  archive->problem = saved_problem;
  return rc;
}

/// unzOpenCurrentFile: opens the current entry for reading (closing one still open). An entry that cannot
/// be read faithfully - encrypted, compressed with a method the reader does not decode, without a local
/// header that agrees with its record, or sharing its data with another entry - is refused with
/// UNZ_BADZIPFILE; zipentry::current_entry_problem tells which.
std::int16_t uo_nv_ziplib::unzopencurrentfile(std::uint32_t unzfile) {
  auto archive = archive_of(unzfile);
  if (!archive) return unz_paramerror;
  archive->close_entry();
  if (!archive->current_ok) return unz_paramerror;
  std::uint64_t data_start = 0;
  archive->problem = archive->check_current(data_start);
  if (archive->problem != unz::entry_problem::none) return unz_badzipfile;
  archive->entry = std::make_unique<unz::entry_reader>(*archive->file, data_start, archive->current, archive->input);
  return unz_ok;
}

/// unzCloseCurrentFile: UNZ_CRCERROR when the whole entry was read and its CRC does not match.
std::int16_t uo_nv_ziplib::unzclosecurrentfile(std::uint32_t unzfile) {
  auto archive = archive_of(unzfile);
  if (!archive) return unz_paramerror;
  if (!archive->entry) return unz_paramerror;
  return to_code(archive->close_entry());
}

/// unzReadCurrentFile: up to `datalen` bytes of the open entry into the start of `data`; the count, 0 at the
/// end of the entry, or a negative code. One read delivers at most 32767 bytes, so the count fits the result;
/// `data` is made long enough for the bytes asked for, never written past.
std::int16_t uo_nv_ziplib::unzreadcurrentfile(std::uint32_t unzfile, blob& data, std::uint32_t datalen) {
  auto archive = archive_of(unzfile);
  if (!archive) return unz_paramerror;
  if (!archive->entry) return unz_paramerror;
  unsigned length = std::min<std::uint32_t>(datalen, SHRT_MAX);
  if (data.size() < length) data.resize(length);
  int rc = archive->entry->read(data.data(), length);
  unz::notify_read(length, rc);
  return to_code(rc);
}

/// unzeof: 1 when the open entry has delivered all its declared bytes, 0 when not, a negative code when no
/// entry is open.
std::int16_t uo_nv_ziplib::unzeof(std::uint32_t unzfile) {
  auto archive = archive_of(unzfile);
  if (!archive) return unz_paramerror;
  if (!archive->entry) return unz_paramerror;
  return archive->entry->at_end() ? 1 : 0;
}

}  // namespace api32
