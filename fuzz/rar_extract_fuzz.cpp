// rar_extract_fuzz.cpp - the archiver's x command on an arbitrary file (any format libarchive reads), into a
// folder of its own, with every entry selected and overwriting on.
//
// Checks: nothing is written outside the destination, no link is created in it, no temporary file is left,
// and every descriptor is closed again.
#include <cstdint>
#include <filesystem>
#include <string>

#include "api32/win32/paths.hpp"
#include "fuzz/support/fuzz_support.hpp"
#include "tools/rar/command_line.hpp"
#include "tools/rar/commands.hpp"
#include "tools/rar/exit_status.hpp"

namespace {

bool is_temporary_name(const std::string& name) {
  if (name.size() != 4 + 16 + 4 || name.rfind("~rar", 0) != 0 || name.compare(20, 4, ".tmp") != 0) return false;
  return name.find_first_not_of("0123456789abcdef", 4) == 20;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string sandbox = api32::fuzz::scratch() + "/rar";
  const std::string out = sandbox + "/out";
  api32::fuzz::remove_tree(sandbox);
  std::filesystem::create_directories(out);
  api32::fuzz::write_file(sandbox + "/in.rar", data, size);

  const int descriptors_before = api32::fuzz::open_descriptors();
  rartool::options opt;
  opt.command = 'x';
  opt.overwrite = rartool::overwrite_mode::always;
  opt.archive = api32::win32::to_windows_path(sandbox + "/in.rar");
  opt.masks = {"*"};
  opt.destination = api32::win32::to_windows_path(out) + "\\";
  rartool::status st(true);
  rartool::run_extract(opt, st);

  for (const auto& name : api32::fuzz::folder_names(sandbox)) {
    if (name != "in.rar" && name != "out") api32::fuzz::fail("extraction wrote outside its destination: " + name);
  }
  if (api32::fuzz::holds_symlink(out)) api32::fuzz::fail("extraction created a symbolic link");
  for (const auto& path : api32::fuzz::tree_below(out)) {
    auto slash = path.rfind('/');
    if (is_temporary_name(slash == std::string::npos ? path : path.substr(slash + 1)))
      api32::fuzz::fail("extraction left a temporary file: " + path);
  }
  if (api32::fuzz::open_descriptors() != descriptors_before) api32::fuzz::fail("a descriptor was left open");
  return 0;
}
