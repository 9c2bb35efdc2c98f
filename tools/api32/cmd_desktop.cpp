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

void print_line(const char* line, void*) {
  std::printf("%s\n", line);
  std::fflush(stdout);
}

int tray(const std::string& icon, const std::string& tip, bool menu, int seconds) {
  using run = int (*)(const char*, const char*, int, int, void (*)(const char*, void*), void*);
  auto entry = desktop_entry<run>("api32_desktop_run_tray");
  if (!entry) {
    fail(api32_last_error());
    return 2;
  }
  return entry(windows_path(icon).c_str(), tip.c_str(), menu ? 1 : 0, seconds, print_line, nullptr);
}

int browse(const std::string& url, const std::string& game, const std::string& addon_url) {
  using run = int (*)(const char*, const char*, const char*, void (*)(const char*, void*), void*);
  auto entry = desktop_entry<run>("api32_desktop_run_browse");
  if (!entry) {
    fail(api32_last_error());
    return 2;
  }
  return entry(url.c_str(), game.c_str(), addon_url.c_str(), print_line, nullptr);
}

}  // namespace

void add_desktop_commands(CLI::App& app, int& status) {
  static std::string title = "Open";
  static std::string filter = "Add-ons,*.zip;*.rar,All files,*.*";
  auto* o = app.add_subcommand("open-files", "show the open-file dialog; print each chosen path and name");
  o->add_option("--title", title, "the dialog's title");
  o->add_option("--filter", filter, "description,patterns pairs separated by commas");
  o->callback([&status] { status = open_files(title, filter); });

  static std::string icon, tip;
  static bool menu = false;
  static int seconds = 0;
  auto* t = app.add_subcommand("tray", "show an icon with a tooltip in the notification area; print each click");
  t->add_option("ICON", icon, "an .ico (or other image) file")->required();
  t->add_option("TIP", tip, "the tooltip (63 bytes are shown)")->required();
  t->add_flag("--menu", menu, "pop up the icon's menu on a right click");
  t->add_option("--seconds", seconds, "end after this many seconds (default: on Ctrl-C)");
  t->callback([&status] { status = tray(icon, tip, menu, seconds); });

  static std::string url, game, addon_url;
  auto* b = app.add_subcommand("browse", "open the add-on download window (downloads go to the download folder)");
  b->add_option("URL", url, "the page to open (default: --addon-url)");
  b->add_option("--game", game, "the current game's name, shown in the title");
  b->add_option("--addon-url", addon_url, "the add-on page of the game");
  b->callback([&status] { status = browse(url, game, addon_url); });
}

}  // namespace api32::tool
