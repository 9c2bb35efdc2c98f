// tga_to_bmp.cpp - TGAtoBMPS: reading the source within bounds, and writing both BMPs all or nothing.
#include "api32/image/tga_to_bmp.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "api32/image/tga_decoding.hpp"
#include "api32/win32/paths.hpp"

namespace api32::image {
namespace {

struct file_closer {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using file_ptr = std::unique_ptr<std::FILE, file_closer>;

// Reads the source's bytes, never more than its header says decoding can use: a file claiming a huge
// image costs only its real size, and the pixel-count cap bounds even that.
std::optional<std::vector<std::uint8_t>> read_tga_file(std::string_view src) {
  const auto native = win32::to_native_path(src);
  if (!native) return std::nullopt;
  file_ptr file(std::fopen(native->c_str(), "rb"));
  if (!file) return std::nullopt;
  std::vector<std::uint8_t> bytes(detail::tga_header_size);
  if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) return std::nullopt;
  const auto header = detail::parse_tga_header(bytes);
  if (!header) return std::nullopt;

  const std::uint64_t limit = detail::tga_bytes_used_at_most(*header);
  std::uint8_t block[65536];
  while (bytes.size() < limit) {
    const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof block, limit - bytes.size()));
    const std::size_t got = std::fread(block, 1, wanted, file.get());
    bytes.insert(bytes.end(), block, block + got);
    if (got < wanted) break;
  }
  if (std::ferror(file.get())) return std::nullopt;
  return bytes;
}

// A destination written under a temporary name beside it, renamed into place by commit(); removed again
// when it is never committed.
class staged_file {
public:
  staged_file() = default;
  staged_file(const staged_file&) = delete;
  staged_file& operator=(const staged_file&) = delete;
  ~staged_file() {
    stream_.reset();
    if (!temporary_.empty() && !committed_) std::remove(temporary_.c_str());
  }

  // Creates the temporary file; false when the destination's folder cannot take it, or when a folder
  // stands where the file should go (found now, so that neither destination is replaced).
  bool open(std::string target) {
    std::error_code error;
    if (target.empty() || target.back() == '/' || std::filesystem::is_directory(target, error)) return false;
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
      std::string candidate = target + ".~tga" + std::to_string(random() ^ counter.fetch_add(1));
      stream_.reset(std::fopen(candidate.c_str(), "wbx"));  // "x": never an existing file
      if (stream_) {
        target_ = std::move(target);
        temporary_ = std::move(candidate);
        return true;
      }
      if (errno != EEXIST) return false;
    }
    return false;
  }

  std::FILE* stream() const { return stream_.get(); }

  // Closes the temporary file; false when its content may not all have reached the disk.
  bool finish() {
    std::FILE* file = stream_.release();
    return file != nullptr && std::fclose(file) == 0;
  }

  bool commit() {
    committed_ = std::rename(temporary_.c_str(), target_.c_str()) == 0;
    return committed_;
  }

private:
  file_ptr stream_;
  std::string target_;
  std::string temporary_;
  bool committed_ = false;
};

}  // namespace

int tga_to_bmps(std::string_view src, std::string_view dest, std::string_view desta) {
  std::optional<detail::decoded_image> image;
  {
    const auto file = read_tga_file(src);
    if (file) image = detail::decode_tga(*file);
  }
  if (!image) return tga_source_unreadable;

  const auto colour_target = win32::to_native_path(dest);
  if (!colour_target) return tga_destination_failed;
  std::optional<std::string> alpha_target;
  if (!desta.empty()) {
    alpha_target = win32::to_native_path(desta);
    if (!alpha_target) return tga_destination_failed;
  }

  staged_file colour;
  if (!colour.open(*colour_target) ||
      !detail::write_bmp_rgb24(colour.stream(), image->width, image->height, image->rgb) || !colour.finish()) {
    return tga_destination_failed;
  }
  staged_file alpha;
  if (alpha_target &&
      (!alpha.open(*alpha_target) ||
       !detail::write_bmp_grey8(alpha.stream(), image->width, image->height, image->alpha) || !alpha.finish())) {
    return tga_destination_failed;
  }
  if (!colour.commit()) return tga_destination_failed;
  if (alpha_target && !alpha.commit()) return tga_destination_failed;
  return tga_converted;
}

}  // namespace api32::image
