// ziplib_extraction.cpp - entry extraction: to a file by name or the current entry (missing folders created,
// data copied in blocks of 8192 bytes), or into memory.
#include "api32/runtime/files.hpp"
#include "api32/runtime/message_box.hpp"
#include "api32/runtime/text.hpp"
#include "api32/zip/uo_nv_ziplib.hpp"

namespace api32 {
namespace {

constexpr std::uint32_t block_size = 8192;

// Creates the missing folders of `directory` (which ends with a backslash) from the left, level by level;
// failures show up later, when the file cannot be opened.
void create_folders(const std::string& directory) {
  if (files::directory_exists(directory)) return;
  for (std::size_t slash = directory.find('\\'); slash != std::string::npos; slash = directory.find('\\', slash + 1)) {
    std::string level = directory.substr(0, slash + 1);
    if (!files::directory_exists(level)) files::create_directory(level);
  }
}

}  // namespace

// Copies the current entry into `as_filepath`: true only when the whole entry was read and its CRC matched.
// The data goes to a temporary file beside the target that replaces the target only then, so a failure never
// leaves a partial file, nor a half-overwritten old one.
bool uo_nv_ziplib::extract_current_entry(std::uint32_t aul_unzfile, const std::string& as_filepath,
                                         const std::string& as_directory) {
  if (unzopencurrentfile(aul_unzfile) != unz_ok) return false;  // also encrypted and undecodable entries
  create_folders(as_directory);
  std::int32_t file = files::file_open_replacement(as_filepath);
  if (file < 0) {
    unzclosecurrentfile(aul_unzfile);
    return false;
  }
  blob block(block_size);
  bool written = true;
  std::int16_t rc = unzreadcurrentfile(aul_unzfile, block, block_size);
  while (rc >= 1) {
    if (files::file_write(file, block.data(), static_cast<std::size_t>(rc)) != rc) {
      written = false;
      break;
    }
    rc = unzreadcurrentfile(aul_unzfile, block, block_size);
  }
  // a read error, data that ended before the declared size, or a CRC mismatch (reported at close)
  bool complete = written && rc == 0 && unzeof(aul_unzfile) == 1;
  if (unzclosecurrentfile(aul_unzfile) != unz_ok) complete = false;
  if (!complete) {
    files::file_close(file);  // discards the temporary file
    return false;
  }
  return files::file_commit(file) == 1;
}

bool uo_nv_ziplib::of_extractfile(std::uint32_t aul_unzfile, const std::string& as_filename,
                                  const std::string& as_filepath, const std::string& as_directory) {
  if (unzlocatefile(aul_unzfile, as_filename, 2) < 0) return false;
  return extract_current_entry(aul_unzfile, as_filepath, as_directory);
}

bool uo_nv_ziplib::of_cuextractfile(std::uint32_t aul_unzfile, const std::string& /*as_filename*/,
                                    const std::string& as_filepath, const std::string& as_directory) {
  return extract_current_entry(aul_unzfile, as_filepath, as_directory);
}

// On every failure the buffer is emptied or holds the bytes read, never what the caller had in it before (a
// caller that goes on with the buffer would otherwise take an earlier entry's data for this one's).
bool uo_nv_ziplib::of_extractblob(std::uint32_t aul_unzfile, const std::string& as_filename, blob& ablob_data) {
  ablob_data.clear();
  if (unzlocatefile(aul_unzfile, as_filename, 2) < 0) {
    messagebox("Ziplib Error in of_extractfile", "Unable to locate file within archive!", msg_icon::stop);
    return false;
  }
  std::string name_buffer(256, ' ');
  std::string extra_buffer;
  std::string comment_buffer(500, ' ');
  unz_fileinfo info;
  unzgetcurrentfileinfo(aul_unzfile, info, name_buffer, 256, extra_buffer, 0, comment_buffer, 500);
  if (unzopencurrentfile(aul_unzfile) != unz_ok) return false;
  std::int16_t rc = of_unzreadcurrentfile(aul_unzfile, ablob_data, info.uncompressed_size);
  std::int16_t close_rc = unzclosecurrentfile(aul_unzfile);
  return rc == 0 && close_rc == unz_ok;
}

}  // namespace api32
