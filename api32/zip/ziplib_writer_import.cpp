// ziplib_writer_import.cpp - of_importfile: one file streamed into a new entry, one block at a time.
//
// The entry always ends closed with exactly the bytes read, so the archive stays valid; but a read error, a
// failed write, or a source whose length changed while it was read makes the result that failure (zip_errno
// for the source's faults), never 0.
#include <string>

#include "api32/host/archive_progress.hpp"
#include "api32/host/files.hpp"
#include "api32/zip/uo_nv_ziplib.hpp"

namespace api32 {
namespace {

class stream_file {
public:
  explicit stream_file(const std::string& path) : number_(files::file_open(path, files::file_access::read)) {}
  ~stream_file() {
    if (number_ > 0) files::file_close(number_);
  }
  stream_file(const stream_file&) = delete;
  stream_file& operator=(const stream_file&) = delete;
  bool is_open() const { return number_ > 0; }
  std::int32_t number() const { return number_; }

private:
  std::int32_t number_;
};

constexpr std::int32_t end_of_file = -100;

}  // namespace

std::int16_t uo_nv_ziplib::of_importfile(std::uint32_t aul_zipfile, const std::string& as_filename,
                                         const std::string& as_folder) {
  stream_file lf_source(as_filename);  // shared: others may read and write it meanwhile
  if (!lf_source.is_open()) return -1;

  std::uint64_t lul_expected = 0;
  std::int16_t li_result = open_entry_for_file(aul_zipfile, as_filename, as_folder, lul_expected);
  if (li_result != zip_ok) return li_result;

  host::progress_meter progress(host::progress_report::kind::adding, "", 1, lul_expected);
  progress.start_entry(as_filename);
  blob lblob_block;  // reused: at most one block of the file is held at a time
  std::uint64_t lul_read = 0;
  std::int16_t li_failure = zip_ok;
  for (;;) {
    std::int32_t ll_count = files::file_read(lf_source.number(), lblob_block);
    if (ll_count == end_of_file) break;
    if (ll_count < 0) {
      li_failure = zip_errno;
      break;
    }
    lul_read += static_cast<std::uint64_t>(ll_count);
    progress.add_bytes(static_cast<std::uint64_t>(ll_count));
    std::int16_t li_written = of_zipwriteinfileinzip(aul_zipfile, lblob_block);
    if (li_written != zip_ok) {
      li_failure = li_written;
      break;
    }
  }
  std::int16_t li_closed = of_zipclosefileinzip(aul_zipfile);
  progress.entry_done();
  if (li_failure == zip_ok && li_closed == zip_ok && lul_read != lul_expected) li_failure = zip_errno;
  return li_failure != zip_ok ? li_failure : li_closed;
}

}  // namespace api32
