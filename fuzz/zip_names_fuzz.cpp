// zip_names_fuzz.cpp - the bytes of an entry's name turned into text, and that text cut to a name buffer.
//
// Input: one byte whose low bit sets the UTF-8 flag, one byte of buffer size, then the name's bytes. Checks:
// the text is valid UTF-8 without NUL, bytes that are UTF-8 already come through unchanged, and the cut text
// is the longest prefix that fits and ends on a character boundary.
#include <cstdint>
#include <string>
#include <string_view>

#include "api32/runtime/text.hpp"
#include "api32/zip/ziplib_entry_names.hpp"
#include "fuzz/support/fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::uint32_t flag = (data[0] & 1) != 0 ? api32::zipnames::utf8_flag : 0;
  const std::size_t limit = data[1];
  const std::string_view raw(reinterpret_cast<const char*>(data + 2), size - 2);

  const std::string name = api32::zipnames::decode(raw, flag);
  if (!api32::text::is_valid_utf8(name)) api32::fuzz::fail("decoded name is not valid UTF-8");
  if (name.find('\0') != std::string::npos) api32::fuzz::fail("decoded name holds a NUL");
  const std::string_view c_string = raw.substr(0, raw.find('\0'));
  if (api32::text::is_valid_utf8(c_string) && name != c_string)
    api32::fuzz::fail("a name that is valid UTF-8 was changed");

  const std::string cut = api32::zipnames::truncate_utf8(name, limit);
  if (cut.size() > limit) api32::fuzz::fail("cut name is longer than its buffer");
  if (name.compare(0, cut.size(), cut) != 0) api32::fuzz::fail("cut name is not a prefix of the name");
  if (!api32::text::is_valid_utf8(cut)) api32::fuzz::fail("cut name ends inside a character");
  if (cut.size() < name.size() && cut.size() + api32::text::char_size(name, cut.size()) <= limit)
    api32::fuzz::fail("cut name dropped a character that fits");
  return 0;
}
