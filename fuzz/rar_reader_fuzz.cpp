// rar_reader_fuzz.cpp - the archiver's own reading of RAR 4 and RAR 5 headers (the index it checks
// extraction against, and the RAR 5 block walk the writer relies on when it updates an archive), in memory.
//
// Checks: blocks follow each other inside the input (only the last may claim data past its end), and a
// main header's extra area, once cleaned of its locator, still parses as records.
#include <cstdint>

#include "fuzz/support/fuzz_support.hpp"
#include "tools/rar/archive_index.hpp"
#include "tools/rar/byte_io.hpp"
#include "tools/rar/rar5_scan.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const rartool::memory_input in(data, size);
  const rartool::archive_index index = rartool::read_index(in);
  if (index.version != 0 && index.version != 4 && index.version != 5) api32::fuzz::fail("unknown version");
  if (index.version == 0 && !index.entries.empty()) api32::fuzz::fail("entries of an input that is no RAR");

  if (!rartool::rar5::has_signature(in)) return 0;
  const rartool::rar5::scan_result scan = rartool::rar5::scan(in);
  std::uint64_t previous_end = 0;
  for (std::size_t i = 0; i < scan.blocks.size(); ++i) {
    const auto& b = scan.blocks[i];
    if (b.offset < previous_end) api32::fuzz::fail("blocks overlap");
    if (b.offset + b.header_bytes > size) api32::fuzz::fail("a block header runs past the input");
    if (i + 1 < scan.blocks.size() && b.end() > size) api32::fuzz::fail("a block before the last runs past the input");
    previous_end = b.end();
    if (auto cleaned = rartool::rar5::main_extra_without_locator(b.main_extra)) {
      if (!rartool::rar5::main_extra_without_locator(*cleaned))
        api32::fuzz::fail("cleaned main extra area is malformed");
    }
  }
  if (scan.complete && scan.end_offset > size) api32::fuzz::fail("a complete walk ends past the input");
  return 0;
}
