// cmd_desktop.cpp - open-files, tray and browse: the commands themselves are in the command's own module
// (desktop/), loaded on first use, so that this program links no GTK.
#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "commands.hpp"
#include "host_setup.hpp"

namespace api32::tool {
namespace {

namespace fs = std::filesystem;

constexpr const char* desktop_module_name = "libapi32_tool_desktop.so";

// Beside the program in the build folder; under <libdir>/api32/ when installed.
void* desktop_module() {
  static void* module = [] {
    fs::path folder = program_folder();
    fs::path path = folder / desktop_module_name;
    std::error_code ec;
    if (!fs::exists(path, ec)) path = folder.parent_path() / API32_INSTALL_LIBDIR / "api32" / desktop_module_name;
    void* loaded = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!loaded) {
      const char* why = ::dlerror();
      fail("the desktop commands' module " + path.string() + " cannot be loaded (not installed, or GTK 3 / " +
           "WebKit2GTK missing): " + (why ? why : ""));
    }
    return loaded;
  }();
  return module;
}

template <class F>
F desktop_entry(const char* name) {
  void* module = desktop_module();
  if (!module) return nullptr;
  void* entry = ::dlsym(module, name);
  if (!entry) fail(std::string("the desktop commands' module has no ") + name);
  return reinterpret_cast<F>(entry);
}

int open_files(const std::string& title, const std::string& filter) {
  using run = int (*)(const char*, const char*, void (*)(const char*, const char*, void*), void*);
  auto entry = desktop_entry<run>("api32_desktop_run_open_files");
  if (!entry) return 2;
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
  if (!entry) return 2;
  return entry(windows_path(icon).c_str(), tip.c_str(), menu ? 1 : 0, seconds, print_line, nullptr);
}

int browse(const std::string& url, const std::string& game, const std::string& addon_url) {
  using run = int (*)(const char*, const char*, const char*, void (*)(const char*, void*), void*);
  auto entry = desktop_entry<run>("api32_desktop_run_browse");
  if (!entry) return 2;
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
