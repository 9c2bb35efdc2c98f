// rar_extract_fuzz.cpp - the archiver's x command on an arbitrary file (any format libarchive reads), into a
// folder of its own, with every entry selected and overwriting on.
//
// Checks: nothing is written outside the destination (nor through a link planted in it), no link is created
// in it, no temporary of the confined writer is left, and every descriptor is closed again.
#include <cstdint>
#include <filesystem>
#include <string>

#include "api32/win32/files_confined.hpp"
#include "api32/win32/paths.hpp"
#include "fuzz/support/fuzz_support.hpp"
#include "tools/rar/command_line.hpp"
#include "tools/rar/commands.hpp"
#include "tools/rar/exit_status.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string sandbox = api32::fuzz::scratch() + "/rar";
  const std::string out = sandbox + "/out";
  api32::fuzz::remove_tree(sandbox);
  std::filesystem::create_directories(out);
  api32::fuzz::write_file(sandbox + "/in.rar", data, size);
  // a hostile local user's link in the destination, to a folder beside it that must stay empty
  std::filesystem::create_directories(sandbox + "/trap");
  std::filesystem::create_directory_symlink(sandbox + "/trap", out + "/a");

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
    if (name != "in.rar" && name != "out" && name != "trap")
      api32::fuzz::fail("extraction wrote outside its destination: " + name);
  }
  if (!api32::fuzz::folder_names(sandbox + "/trap").empty())
    api32::fuzz::fail("extraction wrote through the link planted in its destination");
  if (std::filesystem::is_symlink(out + "/a")) std::filesystem::remove(out + "/a");
  if (api32::fuzz::holds_symlink(out)) api32::fuzz::fail("extraction created a symbolic link");
  for (const auto& path : api32::fuzz::tree_below(out)) {
    auto slash = path.rfind('/');
    if (api32::win32::is_confined_temporary(slash == std::string::npos ? path : path.substr(slash + 1)))
      api32::fuzz::fail("extraction left a temporary file: " + path);
  }
  if (api32::fuzz::open_descriptors() != descriptors_before) api32::fuzz::fail("a descriptor was left open");
  return 0;
}
