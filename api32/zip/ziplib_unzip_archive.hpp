// ziplib_unzip_archive.hpp - the archive behind an unzip handle. The binding reads zip archives itself: the
// end records, the central directory and the entries' data, with the codes minizip's reader gives.
//
// minizip 1.1 cannot read all that the format allows: it looks for the end record only 65,535 bytes back
// (a comment of 65,514 bytes or more hides it), takes a Zip64 end record's offset without allowing for
// bytes in front of the archive, ignores the sizes and offsets of Zip64 extra fields, and decodes stored and
// deflated data only. So the reader is our own, over the runtime's files; minizip remains the writer.
//
// Where the reader finds things:
// - the end record: the last one in the file's last 65,557 bytes whose comment ends the file, else the last
//   one that leads to a directory (data may follow an archive); a comment that holds the record's signature
//   does not hide the record, unless the comment ends in a whole end record (other readers take that too);
// - the Zip64 end record: through the locator just before the end record, where the locator says or, for an
//   archive behind a prefix, just before the locator;
// - bytes in front of the archive (a self-extracting program): the distance between where the directory ends
//   and where the end records say it ends; every offset of the records is shifted by it. When the directory
//   is not there but is at the offset as written (a directory size that is wrong), it is taken from there;
//   when it is in neither place, the archive does not open.
// - the walk ends at the end record's count of entries or at the directory's end, whichever comes first;
//   a record on the way that cannot be read (a damaged directory) refuses the archive when it is opened.
//   A 16-bit count that wrapped (65,536 or more entries without Zip64 end records, as some writers leave
//   them) is recognised at open: the records beyond it are counted when their number past the count is a
//   multiple of 65,536.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "api32/zip/ziplib_entry_problem.hpp"
#include "api32/zip/ziplib_unzip_methods.hpp"

namespace api32::unzipbinding {

using zipentry::entry_problem;

// minizip's codes, which the class passes on
constexpr int unz_ok = 0;
constexpr int unz_errno = -1;
constexpr int unz_end_of_list = -100;
constexpr int unz_paramerror = -102;
constexpr int unz_badzipfile = -103;
constexpr int unz_crcerror = -105;

/// The archive's file, read at positions through two 64 KiB windows: one stays on the directory while the
/// other follows the entries' data, so a walk that extracts as it goes does not read the directory again for
/// every entry, and small records cost no system call.
class archive_file {
public:
  /// The file at the Windows path `path`; null when it cannot be opened for reading.
  static std::unique_ptr<archive_file> open(const std::string& path);
  ~archive_file();
  archive_file(const archive_file&) = delete;
  archive_file& operator=(const archive_file&) = delete;

  std::uint64_t size() const { return size_; }
  /// Up to `size` bytes at `offset`: the count (short only at the file's end), -1 on a read error.
  std::int64_t read_at(std::uint64_t offset, void* buffer, std::size_t size);
  /// True when all `size` bytes at `offset` were read.
  bool read_exact(std::uint64_t offset, void* buffer, std::size_t size) {
    return read_at(offset, buffer, size) == static_cast<std::int64_t>(size);
  }

private:
  struct window {
    std::vector<std::uint8_t> bytes;
    std::uint64_t start = 0;
    std::size_t length = 0;
    bool holds(std::uint64_t position) const { return position - start < length; }
  };
  archive_file(std::int32_t number, std::uint64_t size);
  std::int32_t number_;
  std::uint64_t size_;
  window windows_[2];
  int current_ = 0;  // the window read last; the other one is refilled first
};

/// Where the central directory is, as the end records give it (see the banner).
struct directory {
  std::uint64_t prefix = 0;            ///< bytes in front of the archive, added to every offset of the records
  std::uint64_t start = 0;             ///< file position of the first central record
  std::uint64_t end = 0;               ///< file position where the central records end
  std::uint64_t entries = 0;           ///< the end record's count of entries
  bool count_known = true;             ///< false when the count cannot end the walk (0xFFFF without Zip64)
  bool count_may_wrap = false;         ///< the count is the end record's 16 bits (wrapped past 65,535 entries?)
  std::uint64_t comment_position = 0;  ///< file position of the archive's comment
  std::uint32_t comment_size = 0;      ///< the comment's length as the end record gives it
  std::uint32_t comment_present = 0;   ///< the bytes of it that the file holds
};

/// Finds the end records and the central directory of `file`; false when it is no zip archive or its
/// directory cannot be found where its end records say (nor where a wrong directory size would put it).
bool find_directory(archive_file& file, directory& dir);

/// One central record, with the values of its Zip64 extra field in place of the 0xFFFFFFFF placeholders.
struct central_entry {
  std::uint64_t position = 0;  ///< file position of the record
  std::uint64_t index = 0;     ///< its number in the walk, from 0
  std::uint16_t version = 0;
  std::uint16_t version_needed = 0;
  std::uint16_t flag = 0;
  std::uint16_t method = 0;
  std::uint32_t dosdate = 0;
  std::uint32_t crc = 0;
  std::uint64_t compressed_size = 0;
  std::uint64_t uncompressed_size = 0;
  std::uint16_t name_size = 0;
  std::uint16_t extra_size = 0;
  std::uint16_t comment_size = 0;
  std::uint32_t disk_start = 0;
  std::uint16_t internal_fa = 0;
  std::uint32_t external_fa = 0;
  std::uint64_t local_offset = 0;  ///< of the local header, from the archive's start (without the prefix)
  std::string name;                ///< the name's bytes as stored
  std::uint64_t record_size() const { return 46u + name_size + extra_size + comment_size; }
};

/// Reads the central record at file position `position`: unz_ok; unz_badzipfile when there is no record
/// there or it runs past the directory's end; unz_errno when the file cannot be read. `scratch` holds the
/// extra field while its Zip64 values are read.
int read_central_entry(archive_file& file, const directory& dir, std::uint64_t position, central_entry& entry,
                       std::vector<std::uint8_t>& scratch);

/// The record's extra field (up to `extra_limit` bytes) and comment (up to `comment_limit` bytes); false when
/// the file cannot be read.
bool read_extra_and_comment(archive_file& file, const central_entry& entry, std::size_t extra_limit, std::string& extra,
                            std::size_t comment_limit, std::string& comment);

/// The local ranges of every entry, sorted once per archive, to find entries whose data overlap.
class overlap_index {
public:
  /// Walks the whole directory as the entry walk does (to the end record's count or the directory's end)
  /// and sorts the entries' local offsets; corrects `dir.entries` when its 16-bit count wrapped. False when a
  /// record on the way cannot be read: a directory that cannot be trusted, which other readers refuse too.
  bool build(archive_file& file, directory& dir);
  /// True when the entry whose local header is at `local_offset` and whose data end at `data_end` (both
  /// from the archive's start) shares bytes with another entry's local header or data.
  bool overlaps(archive_file& file, const directory& dir, std::uint64_t local_offset, std::uint64_t data_end) const;

private:
  struct range {
    std::uint64_t offset;
    std::uint64_t compressed_size;
  };
  std::vector<range> ranges_;
};

/// Reads one entry's data: decoded by its method, cut at its declared size, with its CRC checked at close.
/// Codes are minizip's: the byte count, 0 at the end, unz_errno when the file cannot be read (or ends inside
/// the data), a negative zlib code when the data cannot be decoded.
class entry_reader {
public:
  entry_reader(archive_file& file, std::uint64_t data_start, const central_entry& entry,
               std::vector<std::uint8_t>& input);
  /// Up to `length` bytes into `out`.
  int read(std::uint8_t* out, unsigned length);
  /// True when all declared bytes were delivered.
  bool at_end() const { return delivered_ == expected_size_; }
  /// unz_crcerror when all declared bytes were read and their CRC is not the entry's, else unz_ok.
  int close();
  /// What the reads and the close found wrong so far.
  entry_problem problem() const { return problem_; }
  /// The file position of the entry's central record.
  std::uint64_t entry_position() const { return entry_position_; }

private:
  archive_file& file_;
  std::unique_ptr<method_decoder> decoder_;
  std::vector<std::uint8_t>& input_;
  std::size_t input_at_ = 0;
  std::size_t input_size_ = 0;
  std::uint64_t position_;
  std::uint64_t compressed_left_;
  std::uint64_t expected_size_;
  std::uint32_t expected_crc_;
  std::uint64_t entry_position_;
  std::uint64_t delivered_ = 0;
  std::uint32_t crc_ = 0;
  bool stream_ended_ = false;
  entry_problem problem_ = entry_problem::none;
};

/// Called after every read of an open entry with the length asked for and the result (tests watch the
/// blocks the class reads with it); null by default.
using read_observer = void (*)(unsigned asked, int result);
void set_read_observer(read_observer observer);
void notify_read(unsigned asked, int result);

/// An archive open for reading; closing the handle (or the table dropping it) closes the archive.
struct unzip_archive {
  std::unique_ptr<archive_file> file;
  directory dir;
  central_entry current;
  bool current_ok = false;                      ///< false before the walk and after a record that could not be read
  entry_problem problem = entry_problem::none;  ///< what the last open or close of the current entry found
  std::unique_ptr<entry_reader> entry;          ///< the open entry
  overlap_index overlaps;                       ///< built when the archive is opened
  std::vector<std::uint8_t> scratch;            ///< extra fields while records are read
  std::vector<std::uint8_t> input;              ///< compressed data of the open entry
  std::string decoded_name;                     ///< names while the walk compares them
  std::string extraction_failure;               ///< why the last extraction to a file failed; empty after success

  /// Makes the record at `position` current (with the number `index`): its code.
  int go_to(std::uint64_t position, std::uint64_t index);
  /// Closes the open entry, keeping what it found wrong with the current entry; its code (unz_ok when none).
  int close_entry();
  /// The checks opening the current entry makes: encryption, method, local header, overlap. `data_start`
  /// receives the file position of its data.
  entry_problem check_current(std::uint64_t& data_start);
};

}  // namespace api32::unzipbinding
