// cmd_desktop.cpp - open-files, tray and browse: the desktop classes, reached through the desktop module that
// libapi32.so loads on first use (this program itself links no GTK).
#include <cstdio>
#include <string>

#include "api32/abi/api32.h"
#include "commands.hpp"
#include "host_setup.hpp"

namespace api32::tool {
namespace {

template <class F>
F desktop_entry(const char* name) {
  return reinterpret_cast<F>(api32_desktop_symbol(name));
}

int open_files(const std::string& title, const std::string& filter) {
  using run = int (*)(const char*, const char*, void (*)(const char*, const char*, void*), void*);
  auto entry = desktop_entry<run>("api32_desktop_run_open_files");
  if (!entry) {
    fail(api32_last_error());
    return 2;
  }
  int rc = entry(
      title.c_str(), filter.c_str(),
      [](const char* path, const char* name, void*) { std::printf("%s\t%s\n", path, name); }, nullptr);
  return rc == 1 ? 0 : 1;
}

}  // namespace

void add_desktop_commands(CLI::App& app, int& status) {
  static std::string title = "Open";
  static std::string filter = "Add-ons,*.zip;*.rar,All files,*.*";
  auto* o = app.add_subcommand("open-files", "show the open-file dialog; print each chosen path and name");
  o->add_option("--title", title, "the dialog's title");
  o->add_option("--filter", filter, "description,patterns pairs separated by commas");
  o->callback([&status] { status = open_files(title, filter); });
}

}  // namespace api32::tool
