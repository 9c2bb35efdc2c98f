// rar5_writer.hpp - writes RAR 5 archives in the store method: signature, main header, one file header
// plus its data per entry, end-of-archive block. Names are UTF-8 with "/" separators; each file carries its
// CRC-32 and its modification time; the host system is Unix, so attributes are the file's mode bits.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "tools/rar/byte_io.hpp"

namespace rartool::rar5 {

struct entry_info {
  std::string name;  // path inside the archive, "/" separators
  bool directory = false;
  std::uint64_t size = 0;
  std::uint32_t mode = 0;  // permission bits; the file type is added from `directory`
  std::int64_t mtime_sec = 0;
  std::uint32_t mtime_nsec = 0;
};

/// Names a reader can extract safely: valid UTF-8, relative, no empty, "." or ".." parts, no backslash or
/// control characters, at most max_name_size bytes.
bool is_safe_entry_name(std::string_view name);
inline constexpr std::size_t max_name_size = 2048;

/// Whether the writer checks names (archives for tests may need hostile ones).
enum class name_policy { checked, unchecked };

enum class add_status {
  ok,
  bad_name,      // refused by the name check; nothing written
  read_error,    // the source failed; nothing of the entry left in the output
  size_changed,  // the source gave more or fewer bytes than announced; nothing left in the output
  write_error,   // the output failed
};

/// A header block from its fields (type onwards): CRC32 and size are put in front.
bytes seal(const bytes& fields);
/// The complete header block of an entry whose data has the given CRC-32.
bytes file_header(const entry_info& entry, std::uint32_t data_crc);
/// The main archive header block, with `extra` as its extra area (may be empty).
bytes main_header(const bytes& extra = {});
bytes end_header();

class writer {
public:
  /// Reads up to `size` bytes of an entry's data into `buffer`: the count, 0 at the end, -1 on an error.
  using source = std::function<std::int64_t(std::uint8_t* buffer, std::size_t size)>;

  explicit writer(output& out, name_policy policy = name_policy::checked);
  /// Signature and main header; `main_extra` carries records of an archive being updated.
  bool begin(const bytes& main_extra = {});
  /// Bytes copied unchanged (blocks of an archive being updated).
  bool write_raw(const std::uint8_t* data, std::size_t size);
  add_status add_directory(const entry_info& entry);
  /// Streams `entry.size` bytes from `read` as a stored entry; on any failure the output is cut back to
  /// where the entry began.
  add_status add_file(const entry_info& entry, const source& read);
  /// End-of-archive block and flush.
  bool finish();

private:
  output& out_;
  name_policy policy_;
  bytes buffer_;
};

}  // namespace rartool::rar5
