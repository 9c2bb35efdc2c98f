// rar5_format.cpp - vint and little-endian field encoding and decoding.
#include "tools/rar/rar5_format.hpp"

namespace rartool::rar5 {

void put_vint(bytes& out, std::uint64_t value) {
  while (value >= 0x80) {
    out.push_back(static_cast<std::uint8_t>(value | 0x80));
    value >>= 7;
  }
  out.push_back(static_cast<std::uint8_t>(value));
}

std::size_t vint_size(std::uint64_t value) {
  std::size_t n = 1;
  while (value >= 0x80) {
    value >>= 7;
    ++n;
  }
  return n;
}

void put_u32(bytes& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void put_u64(bytes& out, std::uint64_t value) {
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::optional<std::uint64_t> field_reader::vint() {
  if (!ok_) return std::nullopt;
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < max_vint_size; ++i) {
    if (pos_ >= size_) break;
    std::uint8_t byte = data_[pos_++];
    std::uint64_t bits = byte & 0x7f;
    // the tenth byte may only carry the 64th bit
    if (i == max_vint_size - 1 && bits > 1) break;
    value |= bits << (7 * i);
    if ((byte & 0x80) == 0) return value;
  }
  ok_ = false;
  return std::nullopt;
}

std::optional<std::uint32_t> field_reader::u32() {
  if (!ok_ || remaining() < 4) {
    ok_ = false;
    return std::nullopt;
  }
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(data_[pos_ + i]) << (8 * i);
  pos_ += 4;
  return value;
}

std::optional<std::uint64_t> field_reader::u64() {
  if (!ok_ || remaining() < 8) {
    ok_ = false;
    return std::nullopt;
  }
  std::uint64_t value = 0;
  for (int i = 0; i < 8; ++i) value |= static_cast<std::uint64_t>(data_[pos_ + i]) << (8 * i);
  pos_ += 8;
  return value;
}

std::optional<std::string_view> field_reader::text(std::size_t n) {
  if (!ok_ || remaining() < n) {
    ok_ = false;
    return std::nullopt;
  }
  std::string_view out(reinterpret_cast<const char*>(data_ + pos_), n);
  pos_ += n;
  return out;
}

bool field_reader::skip(std::uint64_t n) {
  if (!ok_ || n > remaining()) {
    ok_ = false;
    return false;
  }
  pos_ += static_cast<std::size_t>(n);
  return true;
}

}  // namespace rartool::rar5
