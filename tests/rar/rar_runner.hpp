// rar_runner.hpp - runs the built archiver (lib/rar.exe below the build folder) as a separate program.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tools/rar/byte_io.hpp"

namespace rartool::testing {

struct run_result {
  int exit_code = -1;
  std::string errors;  // what it wrote on stderr
};

/// The built tool's path.
std::string rar_exe();
/// Runs rar.exe with `args` (argv[1..]) in `folder`, with the extra environment variables `env`.
run_result run_rar(const std::vector<std::string>& args, const std::string& folder,
                   const std::vector<std::pair<std::string, std::string>>& env = {});
/// The arguments (program name left out) that the process layer hands a program it starts with `line`.
std::vector<std::string> arguments_of(const std::string& line);
/// The path of a fixture in tests/fixtures/rar.
std::string fixture(const std::string& name);
/// Every path below `folder` (relative, sorted; folders end with "/"; symbolic links with "@").
std::vector<std::string> tree(const std::string& folder);
rartool::bytes file_bytes(const std::string& path);
/// Writes a RAR 5 archive (stored, names not checked) holding `entries` (name, content) in order.
void write_rar5(const std::string& path, const std::vector<std::pair<std::string, std::string>>& entries);
/// A RAR 5 archive with the given names (written without the name check), each holding its own name.
void write_hostile(const std::string& path, const std::vector<std::string>& names);

}  // namespace rartool::testing
