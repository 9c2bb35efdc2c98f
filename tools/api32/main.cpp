// main.cpp - the reference host `api32`: installs the host services and drives the library's classes from the
// command line. Exit status: 0 success, 1 the operation failed, 2 wrong usage; run passes its program's status
// on (124 when the time-out ended it).
#include <CLI/CLI.hpp>

#include <cstdio>

#include "api32/abi/api32.h"
#include "commands.hpp"
#include "host_setup.hpp"

int main(int argc, char** argv) {
  CLI::App app{"api32 - the reference host of the api32 library: archives, processes, file times, desktop"};
  app.require_subcommand(0, 1);
  app.set_help_all_flag("--help-all", "help for every subcommand");
  // a usage error is one line on stderr
  app.failure_message([](const CLI::App*, const CLI::Error& e) { return "api32: " + std::string(e.what()) + "\n"; });
  bool show_version = false;
  app.add_flag("--version", show_version, "print the library's version");
  int status = 0;
  api32::tool::add_archive_commands(app, status);
  api32::tool::add_process_commands(app, status);
  api32::tool::add_file_commands(app, status);
  api32::tool::add_abi_commands(app, status);
  api32::tool::add_image_commands(app, status);
  api32::tool::add_desktop_commands(app, status);
  // the host's services are in place before any subcommand runs
  api32::tool::install_host();
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return 2;
  }
  if (app.get_subcommands().empty()) {
    if (show_version) {
      std::printf("api32 %s\n", api32_version());
      return 0;
    }
    std::printf("%s", app.help().c_str());
    return 2;
  }
  std::fflush(stdout);
  return status;
}
