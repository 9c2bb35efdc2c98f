// uo_nv_ziplib.hpp - the zip library: reading, listing, extracting and writing zip archives, and compressing
// memory buffers. Archives are written with minizip 1.1 and read by the library's own reader (with minizip's
// codes), which also reads Zip64 archives behind a prefix, comments of any length, and entries compressed
// with bzip2, LZMA, xz and zstd (see ziplib_unzip_archive.hpp); buffers go through zlib.
//
// Archive handles are 32-bit values of the handle table (0 = none); the caller owns every handle an open
// function returns and closes it with the matching close function. Results are minizip's and zlib's codes,
// passed through unchanged, unless a function says otherwise.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>

#include "api32/file/file_records.hpp"
#include "api32/runtime/datastore.hpp"
#include "api32/runtime/values.hpp"
#include "api32/zip/zip_records.hpp"

namespace api32 {

class uo_nv_ziplib {
public:
  // zlib and minizip codes, and the deflate method
  static constexpr std::int16_t z_ok = 0;
  static constexpr std::int16_t z_stream_end = 1;
  static constexpr std::int16_t z_need_dict = 2;
  static constexpr std::int16_t z_errno = -1;
  static constexpr std::int16_t z_stream_error = -2;
  static constexpr std::int16_t z_data_error = -3;
  static constexpr std::int16_t z_mem_error = -4;
  static constexpr std::int16_t z_buf_error = -5;
  static constexpr std::int16_t z_version_error = -6;
  static constexpr std::int16_t unz_ok = 0;
  static constexpr std::int16_t unz_end_of_list_of_file = -100;
  static constexpr std::int16_t unz_paramerror = -102;
  static constexpr std::int16_t unz_badzipfile = -103;
  static constexpr std::int16_t unz_internalerror = -104;
  static constexpr std::int16_t unz_crcerror = -105;
  static constexpr std::int16_t zip_ok = 0;
  static constexpr std::int16_t zip_errno = -1;
  static constexpr std::int16_t zip_paramerror = -102;
  static constexpr std::int16_t zip_internalerror = -104;
  static constexpr std::int16_t z_deflated = 8;

  // instance variables
  std::int16_t z_default_compression = -1;
  std::optional<api32::date> id_filedate;  ///< declared; no function reads or writes it
  std::optional<api32::time> it_filetime;  ///< declared; no function reads or writes it

  uo_nv_ziplib() = default;
  ~uo_nv_ziplib() = default;

  // ---- reader
  std::uint32_t of_unzopen(const std::string& as_filename);
  std::int16_t of_unzclose(std::uint32_t aul_unzfile);
  std::string of_unzgetglobalcomment(std::uint32_t aul_unzfile);
  std::int16_t of_unzgotofirstfile(std::uint32_t aul_unzfile);
  std::int16_t of_unzgotonextfile(std::uint32_t aul_unzfile);
  std::int16_t of_unzgetglobalinfo(std::uint32_t aul_unzfile, std::uint32_t& aul_entries, std::uint32_t& aul_cmtsize);
  std::int32_t lastpos(const std::optional<std::string>& as_string, const std::string& as_findstr);
  std::int16_t of_unzlocatefile(std::uint32_t aul_unzfile, const std::string& as_filename);
  std::int16_t of_unzopencurrentfile(std::uint32_t aul_unzfile);
  std::int16_t of_unzclosecurrentfile(std::uint32_t aul_unzfile);
  /// Reads the open current entry into `ablob_data` in blocks of 8192 bytes. The blob grows with the data
  /// (nothing is allocated on the strength of a declared size) and is never longer than `aul_destlen`:
  /// - the entry delivered all its declared bytes: the blob is padded with spaces to `aul_destlen`; result 0;
  /// - the data ended before the entry's declared size: the blob holds the bytes read; result unz_badzipfile;
  /// - the entry has more than `aul_destlen` bytes: the blob is cut at `aul_destlen`; result z_buf_error;
  /// - a read failed: the blob holds the bytes read before; result the failing (negative) code.
  /// A CRC mismatch shows in the result of of_unzclosecurrentfile.
  std::int16_t of_unzreadcurrentfile(std::uint32_t aul_unzfile, blob& ablob_data, std::uint32_t aul_destlen);
  std::string of_replaceall(const std::string& as_oldstring, const std::string& as_findstr,
                            const std::string& as_replace);
  bool of_getbit(std::optional<std::uint32_t> al_decimal, std::uint16_t aui_bit);

  // ---- listing
  // The extracting walk (of_cudwdirectory with ab_extract) writes nothing outside as_basedir: an entry whose
  // name has a ".." component, a drive or a leading separator is listed and added to the table but not
  // extracted.
  std::string of_dwdirectory(const std::string& as_filename);
  std::string of_unzgetcurrentfileinfo(std::uint32_t aul_unzfile);
  std::string of_cudwdirectory(const std::string& as_filename, datastore& ads, const std::string& as_basedir,
                               bool ab_extract);
  std::string of_cuunzgetcurrentfileinfo(std::uint32_t aul_unzfile, datastore& ads, const std::string& as_basedir,
                                         bool ab_extract);

  // ---- extraction
  // An extraction succeeds only when the entry's method is one the reader decodes (stored, deflate, bzip2,
  // LZMA, zstd, xz), it is not encrypted, it shares no data with another entry, and it was read whole with
  // a matching CRC; the file is written under a temporary name and renamed over the target when complete, so
  // a failed extraction leaves no partial file and a file that was there before unchanged.
  bool of_extractblob(std::uint32_t aul_unzfile, const std::string& as_filename, blob& ablob_data);
  bool of_extractfile(std::uint32_t aul_unzfile, const std::string& as_filename, const std::string& as_filepath,
                      const std::string& as_directory);
  bool of_cuextractfile(std::uint32_t aul_unzfile, const std::string& as_filename, const std::string& as_filepath,
                        const std::string& as_directory);
  std::int16_t of_setlastwritedatetime(const std::string& as_filename, os_filedatetime& astr_filetime);
  /// Not one of the class's functions: hands the data of the entry `as_filename` to `sink` in blocks of at
  /// most 8192 bytes, for a host that cannot hold a large entry in memory. True only when every byte was
  /// delivered and the CRC matched; false when the entry is missing or cannot be opened or read, or when
  /// `sink` returns false (the copy stops there). What went wrong: zipentry::current_entry_problem.
  bool stream_entry(std::uint32_t aul_unzfile, const std::string& as_filename,
                    const std::function<bool(const std::uint8_t*, std::size_t)>& sink);

  // ---- writer
  // Entry names never climb out: a drive or a leading separator is dropped, and a name with a "." or ".."
  // part is refused with -1 before anything is written. Non-ASCII names are stored as UTF-8 with the language
  // encoding flag; entries of 4 GiB or more get Zip64 records; dates outside 1980-2107 are clamped to it.
  // of_importfile reports a read error, a failed write, or a source whose length changed while it was read
  // (the entry then holds exactly the bytes read, and the archive stays valid) instead of 0.
  std::int16_t of_zipclosefileinzip(std::uint32_t aul_zipfile);
  std::int16_t of_zipwriteinfileinzip(std::uint32_t aul_zipfile, blob& ablob_data);
  std::int16_t of_zipclose(std::uint32_t aul_zipfile, const std::string& as_comment);
  std::uint32_t of_zipopen(const std::string& as_filename);
  std::int16_t of_internal_fa(const std::string& as_extension);
  std::int16_t of_zipopennewfileinzip(std::uint32_t aul_zipfile, const std::string& as_filename,
                                      const std::string& as_folder);
  std::int16_t of_importfile(std::uint32_t aul_zipfile, const std::string& as_filename, const std::string& as_folder);

  // ---- buffer compression (on failure the output is null)
  // of_uncompress allocates only what the data needs while it inflates; an aul_destlen above 1 GiB is
  // answered with "Not enough memory!" before anything is allocated.
  bool of_compress(const blob& ablob_source, std::optional<blob>& ablob_dest);
  bool of_compress(const std::string& as_source, std::optional<blob>& ablob_dest);
  bool of_uncompress(const blob& ablob_src, std::uint32_t aul_destlen, std::optional<blob>& ablob_dest);
  bool of_uncompress(const blob& ablob_src, std::uint32_t aul_destlen, std::optional<std::string>& as_dest);

private:
  // ---- external functions (zlibwapi.dll, KERNEL32.DLL): our binding to zlib, minizip and win32/
  std::int16_t compress(blob& dest, std::uint32_t& destlen, const blob& src, std::uint32_t srclen);
  /// zlib's uncompress, except that `dest` grows as the data needs (never beyond `destlen`) instead of being
  /// made `destlen` bytes long first; on return `dest` holds exactly the bytes produced.
  std::int16_t uncompress(blob& dest, std::uint32_t& destlen, const blob& src, std::uint32_t srclen);
  std::uint32_t unzopen(const std::string& filename);
  std::int16_t unzclose(std::uint32_t unzfile);
  std::int16_t unzgetglobalcomment(std::uint32_t unzfile, std::string& szcomment, std::uint32_t usizebuf);
  std::int16_t unzgetglobalinfo(std::uint32_t unzfile, unz_global_info& str_global_info);
  std::int16_t unzgotofirstfile(std::uint32_t unzfile);
  std::int16_t unzgotonextfile(std::uint32_t unzfile);
  std::int16_t unzgetcurrentfileinfo(std::uint32_t unzfile, unz_fileinfo& file_info, std::string& szfilename,
                                     std::uint32_t filenamesize, std::string& extrafield, std::uint32_t extrasize,
                                     std::string& comment, std::uint32_t cmtsize);
  std::int16_t unzlocatefile(std::uint32_t unzfile, const std::string& filename, std::int16_t icase);
  std::int16_t unzopencurrentfile(std::uint32_t unzfile);
  std::int16_t unzclosecurrentfile(std::uint32_t unzfile);
  std::int16_t unzreadcurrentfile(std::uint32_t unzfile, blob& data, std::uint32_t datalen);
  std::int16_t unzeof(std::uint32_t unzfile);
  std::uint32_t zipopen(std::string& filename, std::int16_t append);
  std::int16_t zipclose(std::uint32_t zipfile, std::string& szcomment);
  std::int16_t zipopennewfileinzip(std::uint32_t file, std::string& filename, zip_fileinfo& zipfi,
                                   std::optional<std::uint32_t>& extrafield_local, std::uint16_t size_extrafield_local,
                                   std::optional<std::uint32_t>& extrafield_global,
                                   std::uint16_t size_extrafield_global, std::optional<std::string>& comment,
                                   std::int16_t method, std::int16_t level, std::int16_t zip64 = 0);
  std::int16_t zipwriteinfileinzip(std::uint32_t zipfile, blob& buffer, std::int32_t usizebuf);
  std::int16_t zipclosefileinzip(std::uint32_t zipfile);
  std::int32_t openfile(std::string& filename, os_fileopeninfo& of_struct, std::uint32_t action);
  bool setfiletime(std::int32_t hfile, os_filedatetime lpcreationtime, os_filedatetime lplastaccesstime,
                   os_filedatetime lplastwritetime);
  bool closehandle(std::int32_t file_hand);
  std::uint32_t findfirstfilea(std::string& filename, os_finddata& findfiledata);
  bool findclose(std::uint32_t handle);
  bool filetimetosystemtime(os_filedatetime& lpfiletime, os_systemtime& lpsystemtime);
  bool filetimetolocalfiletime(os_filedatetime& lpfiletime, os_filedatetime& lplocalfiletime);
  bool systemtimetofiletime(os_systemtime lpsystemtime, os_filedatetime& lpfiletime);
  bool localfiletimetofiletime(os_filedatetime& lplocalfiletime, os_filedatetime& lpfiletime);

  // ---- reader, listing and extraction internals
  struct entry_text;  // the working values of one listed entry (ziplib_listing.cpp)
  void describe_current_entry(std::uint32_t aul_unzfile, entry_text& entry);
  std::string file_type_of(const std::string& as_filename);
  /// Extracts the current entry through the confined writer: the part of `as_filepath` that repeats the
  /// entry's name `as_filename` is walked below the rest (else only the file name below its folder).
  bool extract_current_entry(std::uint32_t aul_unzfile, const std::string& as_filename, const std::string& as_filepath);
  /// The whole-archive extraction in progress (ziplib_extraction_walk.hpp); null outside one.
  struct extraction_walk;
  extraction_walk* extraction_walk_ = nullptr;
  /// Before a whole-archive extraction: the declared total of what it would write checked against the
  /// host's limit and the free space below the base (the walk refuses every entry when it does not fit).
  void check_extraction_budget(std::uint32_t aul_unzfile);
  /// File types found so far in the listing walk in progress (extension -> type); null outside a walk.
  std::unordered_map<std::string, std::string>* listing_file_types_ = nullptr;

  // ---- writer internals
  /// of_zipopennewfileinzip, also reporting the source size its lookup found (0 when it found nothing).
  std::int16_t open_entry_for_file(std::uint32_t aul_zipfile, const std::string& as_filename,
                                   const std::string& as_folder, std::uint64_t& found_size);
};

/// The table layout d_zipfiles: filename, filepath, fullname with the headers "Filename", "Filepath",
/// "Fullname" (Arial 10 point, normal weight, in the host's rendering).
const table_layout& d_zipfiles();

}  // namespace api32
