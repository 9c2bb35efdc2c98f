// ziplib_unzip_entry_reader.cpp - reads one entry's data through its method's decoder, in constant memory:
// one 64 KiB block of compressed input at a time, output straight into the caller's buffer, stopping at the
// entry's declared size and checking its CRC when all of it was read.
#include <zlib.h>

#include <algorithm>

#include "api32/zip/ziplib_unzip_archive.hpp"

namespace api32::unzipbinding {
namespace {

constexpr std::size_t input_block = 64 * 1024;
read_observer observer = nullptr;

}  // namespace

void set_read_observer(read_observer o) { observer = o; }

void notify_read(unsigned asked, int result) {
  if (observer) observer(asked, result);
}

entry_reader::entry_reader(archive_file& file, std::uint64_t data_start, const central_entry& entry,
                           std::vector<std::uint8_t>& input)
    : file_(file),
      decoder_(make_decoder(entry.method, entry.uncompressed_size)),
      input_(input),
      position_(data_start),
      compressed_left_(entry.compressed_size),
      expected_size_(entry.uncompressed_size),
      expected_crc_(entry.crc),
      entry_position_(entry.position) {
  if (input_.size() < input_block) input_.resize(input_block);
}

int entry_reader::read(std::uint8_t* out, unsigned length) {
  length = static_cast<unsigned>(std::min<std::uint64_t>(length, expected_size_ - delivered_));
  if (length == 0) return 0;
  if (stream_ended_) {  // the stream ended before the declared size
    problem_ = entry_problem::size_mismatch;
    return 0;
  }
  std::size_t produced = 0;
  while (produced < length) {
    if (input_at_ == input_size_ && compressed_left_ > 0) {
      auto n = static_cast<std::size_t>(std::min<std::uint64_t>(input_block, compressed_left_));
      if (!file_.read_exact(position_, input_.data(), n)) {
        problem_ = entry_problem::read_error;
        return unz_errno;
      }
      position_ += n;
      compressed_left_ -= n;
      input_at_ = 0;
      input_size_ = n;
    }
    decode_step step =
        decoder_->decode(input_.data() + input_at_, input_size_ - input_at_, out + produced, length - produced);
    input_at_ += step.consumed;
    produced += step.produced;
    if (step.code < 0) {
      problem_ = step.code == Z_MEM_ERROR ? entry_problem::too_much_memory : entry_problem::damaged_data;
      return step.code;
    }
    if (step.code == 1) {
      stream_ended_ = true;
      break;
    }
    if (step.consumed == 0 && step.produced == 0) {
      if (input_at_ == input_size_ && compressed_left_ == 0) break;  // the data end here
      problem_ = entry_problem::damaged_data;  // a decoder that neither takes input nor gives output
      return Z_DATA_ERROR;
    }
  }
  crc_ = static_cast<std::uint32_t>(crc32(crc_, out, static_cast<uInt>(produced)));
  delivered_ += produced;
  if (produced == 0 && !at_end()) problem_ = entry_problem::size_mismatch;
  return static_cast<int>(produced);
}

int entry_reader::close() {
  if (at_end() && crc_ != expected_crc_) {
    problem_ = entry_problem::crc_mismatch;
    return unz_crcerror;
  }
  return unz_ok;
}

}  // namespace api32::unzipbinding
