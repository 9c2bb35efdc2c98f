// tga_to_bmp.hpp - the TGA-to-BMP converter the image bridge offers (TGAtoBMPS).
//
// Reads a Truevision TGA file - uncompressed or run-length encoded; 8-bit grey, 16-bit grey with alpha,
// 15/16/24/32-bit colour, colour-mapped with 8- or 16-bit indices; any of the four origins - and writes:
//   dest   a 24-bit BMP of the colour,
//   desta  an 8-bit BMP (256-entry grey palette) of the alpha channel, all white when the image has none;
//          an empty desta writes only dest.
// 32-bit pixels, 32-bit colour-map entries and 16-bit grey carry alpha; 16-bit colour does when the header
// declares attribute bits (its top bit is then opaque/transparent).
//
// Damaged or hostile files are refused before anything is written: pixel data or a run that ends early, a
// run that goes past the last pixel, a colour index outside the colour map, or a width x height beyond
// max_tga_pixels. Memory stays proportional to the pixels the file really holds (at most max_tga_pixels).
// Each destination is written under a temporary name beside it and renamed into place once both are
// complete, so a failed conversion leaves no half-written BMP and no existing file replaced (short of the
// second rename failing after the first succeeded, which the checks before writing make unlikely).
#pragma once

#include <cstdint>
#include <string_view>

namespace api32::image {

/// The largest image converted: 8192 x 8192 pixels (in any shape).
inline constexpr std::uint64_t max_tga_pixels = 8192ull * 8192ull;

inline constexpr int tga_converted = 1;            ///< both destinations written
inline constexpr int tga_source_unreadable = 0;    ///< source missing, not a TGA, damaged or too large
inline constexpr int tga_destination_failed = -1;  ///< a destination cannot be written

/// Converts `src` to `dest` (and `desta` unless empty). Paths are Windows or native paths, mapped by win32/.
int tga_to_bmps(std::string_view src, std::string_view dest, std::string_view desta);

}  // namespace api32::image
