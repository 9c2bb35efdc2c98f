// tga_fuzz.cpp - the TGA-to-BMP converter on an arbitrary source file.
//
// Checks beyond the sanitizers: a conversion is all or nothing - on success both BMPs are there with the
// TGA's width and height and the sizes their layout gives; on failure neither destination exists - and no
// temporary file is left beside them.
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "api32/image/tga_to_bmp.hpp"
#include "fuzz/support/fuzz_support.hpp"

namespace {

std::uint32_t little32(const std::string& bytes, std::size_t at) {
  std::uint32_t v = 0;
  if (bytes.size() >= at + 4) std::memcpy(&v, bytes.data() + at, 4);
  return v;
}

std::string read_all(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A BMP of `width` x `height` with `bits` per pixel and `palette` bytes of colour table.
void check_bmp(const std::string& path, std::uint32_t width, std::uint32_t height, unsigned bits, std::size_t palette) {
  const std::string bmp = read_all(path);
  const std::uint64_t stride = (std::uint64_t{width} * bits / 8 + 3) / 4 * 4;
  const std::uint64_t expected = 54 + palette + stride * height;
  if (bmp.size() < 54 || bmp.compare(0, 2, "BM") != 0) api32::fuzz::fail(path + " is not a BMP");
  if (little32(bmp, 18) != width || little32(bmp, 22) != height)
    api32::fuzz::fail(path + " does not have the TGA's width and height");
  if (bmp.size() != expected)
    api32::fuzz::fail(path + " has " + std::to_string(bmp.size()) + " bytes, its layout " + std::to_string(expected));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string folder = api32::fuzz::scratch() + "/tga";
  api32::fuzz::remove_tree(folder);
  std::filesystem::create_directories(folder);
  const std::string src = folder + "/in.tga", dest = folder + "/colour.bmp", desta = folder + "/alpha.bmp";
  api32::fuzz::write_file(src, data, size);

  const int rc = api32::image::tga_to_bmps(src, dest, desta);
  const auto names = api32::fuzz::folder_names(folder);
  if (rc == api32::image::tga_converted) {
    if (names.size() != 3) api32::fuzz::fail("a converted TGA left other files than its two BMPs");
    const std::uint16_t width = static_cast<std::uint16_t>(data[12] | data[13] << 8);
    const std::uint16_t height = static_cast<std::uint16_t>(data[14] | data[15] << 8);
    check_bmp(dest, width, height, 24, 0);
    check_bmp(desta, width, height, 8, 1024);
  } else if (names.size() != 1) {
    api32::fuzz::fail("a failed conversion (" + std::to_string(rc) + ") left " + names.front() + " or another file");
  }
  return 0;
}
