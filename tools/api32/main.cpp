// main.cpp - the reference host `api32`: drives the library's classes from the command line.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>
#include <vector>

#include "api32/version.hpp"

namespace {

// The library's classes, in the order a host meets them.
const std::vector<std::string> class_names = {"uo_nv_ziplib",          "uo_nv_compression", "uo_nv_process",
                                              "uo_nv_file",            "uo_nv_getopenfilename",
                                              "uo_nv_trayicon",        "trayicon_menu",     "w_download_addon",
                                              "uo_nv_devil"};

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"api32 - the reference host of the api32 library"};
  app.require_subcommand(0, 1);
  bool show_version = false;
  app.add_flag("--version", show_version, "print the library's version");
  auto* classes = app.add_subcommand("classes", "list the library's classes");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;
  }
  if (show_version || app.get_subcommands().empty()) {
    std::printf("api32 %s\n", api32::version());
    if (!classes->parsed()) return 0;
  }
  if (classes->parsed()) {
    for (const auto& name : class_names) std::printf("%s\n", name.c_str());
  }
  return 0;
}
