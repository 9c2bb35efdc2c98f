// main.cpp - rar.exe: the rar-compatible archiver that the archive front-end runs.
//
//   rar.exe x [-r] [-o+|-o-|-y] [-ri<n>[:<ms>]] [-ap<path>] <archive> [<masks>...] [<destination>\]
//   rar.exe a [-r] [-ri<n>[:<ms>]] [-ap<path>] <archive> [<masks>...]
//   rar.exe l|lt|lb <archive>
#include <clocale>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/rar/command_line.hpp"
#include "tools/rar/commands.hpp"
#include "tools/rar/exit_status.hpp"

int main(int argc, char** argv) {
  std::setlocale(LC_CTYPE, "C.UTF-8");  // archive names are converted to and from UTF-8
  std::vector<std::string> args(argv, argv + argc);
  const char* raw_env = std::getenv("API32_CMDLINE");
  std::string raw = raw_env ? raw_env : "";
  ::unsetenv("API32_CMDLINE");  // it described this process only; no child may take it for its own

  rartool::status st;
  auto parsed = rartool::parse_options(rartool::effective_arguments(args, raw_env ? raw.c_str() : nullptr));
  if (auto* error = std::get_if<rartool::usage_error>(&parsed)) {
    st.report(rartool::exit_code::usage, error->message);
    return st.exit_value();
  }
  const auto& opt = std::get<rartool::options>(parsed);
  if (opt.command == 'x') {
    rartool::run_extract(opt, st);
  } else if (opt.command == 'l') {
    rartool::run_list(opt, st);
  } else {
    rartool::run_add(opt, st);
  }
  return st.exit_value();
}
