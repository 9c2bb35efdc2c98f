// host_setup.cpp - app_path for the build tree and for an installed command, and path arguments.
#include "host_setup.hpp"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "api32/host/host_services.hpp"
#include "api32/runtime/message_box.hpp"
#include "api32/win32/paths.hpp"
#include "api32/zip/uo_nv_ziplib.hpp"

namespace fs = std::filesystem;

namespace api32::tool {

fs::path program_folder() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::current_path() : exe.parent_path();
}

namespace {

// The application folder: in the build tree the build folder itself (its lib/rar.exe is the archiver); an
// installed command uses $XDG_DATA_HOME/api32/ with lib/rar.exe linked to the installed archiver.
fs::path application_folder() {
  if (const char* forced = std::getenv("API32_APP_PATH"); forced && *forced) return forced;
  fs::path bin = program_folder();
  fs::path build = bin.parent_path();
  std::error_code ec;
  if (fs::exists(build / "lib" / "rar.exe", ec) && fs::exists(build / "CMakeCache.txt", ec)) return build;
  fs::path installed_rar = build / API32_INSTALL_LIBDIR / "api32" / "lib" / "rar.exe";
  const char* xdg = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  fs::path data = xdg && *xdg ? fs::path(xdg) : fs::path(home && *home ? home : "/tmp") / ".local" / "share";
  fs::path app = data / "api32";
  fs::create_directories(app / "lib", ec);
  fs::path link = app / "lib" / "rar.exe";
  if (fs::exists(installed_rar, ec) && !fs::exists(link, ec)) {
    fs::remove(link, ec);  // a dangling link from an earlier install
    fs::create_symlink(installed_rar, link, ec);
  }
  return app;
}

}  // namespace

namespace {

// The command's message boxes: one line on stderr each. A presenter of its own, so that the desktop
// commands, which turn the library's default presenter into GTK dialogs, leave the command's boxes on stderr.
class command_presenter final : public api32::message_presenter {
public:
  void show(const api32::message& box) override {
    std::fprintf(stderr, "%s: %s\n", box.title.c_str(), box.text.c_str());
    std::fflush(stderr);
  }
};

}  // namespace

void install_host() {
  api32::set_message_presenter(std::make_shared<command_presenter>());
  auto& host = api32::host::globals();
  host.gziplib = std::make_shared<api32::uo_nv_ziplib>();
  std::string app = application_folder().string();
  host.app_path = api32::win32::to_windows_path(app);
  if (host.app_path.empty() || host.app_path.back() != '\\') host.app_path += '\\';
}

std::string native_path(const std::string& argument) {
  if (argument.empty()) return argument;
  // a Windows path (drive or backslashes) goes through the library's mapping
  bool windows = (argument.size() >= 2 && argument[1] == ':') || argument.find('\\') != std::string::npos;
  if (windows) {
    auto mapped = api32::win32::to_native_path(argument);
    return mapped ? *mapped : argument;
  }
  fs::path p(argument);
  if (p.is_relative()) p = fs::current_path() / p;
  return p.lexically_normal().string();
}

std::string windows_path(const std::string& argument) {
  std::string native = native_path(argument);
  if (native.size() > 1 && native.back() == '/') native.pop_back();
  return api32::win32::to_windows_path(native);
}

std::string windows_folder(const std::string& argument) {
  std::string w = windows_path(argument);
  if (w.empty() || w.back() != '\\') w += '\\';
  return w;
}

void fail(const std::string& message) {
  std::fprintf(stderr, "api32: %s\n", message.c_str());
  std::fflush(stderr);
}

}  // namespace api32::tool
