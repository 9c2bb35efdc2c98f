// reg_fuzz.cpp - .reg text (REGEDIT4, version 5.00, UTF-8, Windows-1252 or UTF-16LE) loaded as a registry
// source, then the default value of every key it names looked up.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "api32/runtime/registry.hpp"
#include "fuzz/support/fuzz_support.hpp"

namespace {

// The text between "[" and "]" of each line that has them (ASCII or UTF-16LE lines alike), at most 32.
std::vector<std::string> bracketed(std::string_view text) {
  std::vector<std::string> keys;
  std::size_t open = 0;
  while (keys.size() < 32 && (open = text.find('[', open)) != std::string_view::npos) {
    std::size_t close = text.find(']', open);
    if (close == std::string_view::npos) break;
    keys.emplace_back(text.substr(open + 1, close - open - 1));
    open = close;
  }
  return keys;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  api32::registry::use_content_types(false);  // the desktop database is not under test
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  api32::registry::reset();
  const auto result = api32::registry::load_reg_text(text, "fuzz.reg");
  if (!result.loaded) api32::fuzz::fail("text that was given was not loaded");
  for (const auto& key : bracketed(text)) {
    (void)api32::registry::default_value(key);
    (void)api32::registry::default_value(api32::registry::normalise_key(key));
  }
  return 0;
}
