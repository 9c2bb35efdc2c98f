// cmd_file.cpp - filetime, touch, attrib-normal.
#include <cstdio>
#include <filesystem>
#include <string>

#include "api32/abi/values_bridge.hpp"
#include "api32/file/uo_nv_file.hpp"
#include "commands.hpp"
#include "host_setup.hpp"

namespace api32::tool {
namespace {

int filetime(const std::string& file, bool local, bool creation) {
  api32::uo_nv_file f;
  api32::date d;
  api32::time t;
  std::string path = windows_path(file);
  std::int16_t rc = creation ? f.of_getcreationdatetime(path, d, t)
                    : local  ? f.of_getlastwritedatetimelocal(path, d, t)
                             : f.of_getlastwritedatetime(path, d, t);
  if (rc != 1) {
    fail("cannot read the times of " + file);
    return 1;
  }
  std::printf("%s%s\n", api32::datetime{d, t}.to_string().c_str(), local ? "" : " UTC");
  return 0;
}

int touch(const std::string& file, const std::string& date_text, const std::string& time_text) {
  api32::date d;
  api32::time t;
  if (!api32::abi::parse_date(date_text, d)) {
    fail("DATE is written yyyy-mm-dd: " + date_text);
    return 2;
  }
  if (!api32::abi::parse_time(time_text, t)) {
    fail("TIME is written hh:mm:ss: " + time_text);
    return 2;
  }
  if (api32::uo_nv_file().of_setlastwritedatetime(windows_path(file), d, t) != 1) {
    fail("cannot set the last-write time of " + file);
    return 1;
  }
  return 0;
}

}  // namespace

void add_file_commands(CLI::App& app, int& status) {
  static std::string file;
  static bool local = false, creation = false;
  auto* ft = app.add_subcommand("filetime", "print a file's last-write time (UTC unless --local)");
  ft->add_option("FILE", file)->required();
  auto* l = ft->add_flag("--local", local, "in local time");
  ft->add_flag("--creation", creation, "the creation time instead (UTC)")->excludes(l);
  ft->callback([&status] { status = filetime(file, local, creation); });

  static std::string touch_file, touch_date, touch_time;
  auto* t = app.add_subcommand("touch", "set a file's last-write time (UTC); clears its attributes as it goes");
  t->add_option("FILE", touch_file)->required();
  t->add_option("DATE", touch_date, "yyyy-mm-dd")->required();
  t->add_option("TIME", touch_time, "hh:mm:ss")->required();
  t->callback([&status] { status = touch(touch_file, touch_date, touch_time); });

  static std::string attrib_file;
  auto* a = app.add_subcommand("attrib-normal", "clear a file's read-only, hidden, system and archive attributes");
  a->add_option("FILE", attrib_file)->required();
  a->callback([&status] {
    // the class answers 1 whatever happened: a missing file is found here
    std::error_code ec;
    if (!std::filesystem::exists(native_path(attrib_file), ec)) {
      fail("no such file: " + attrib_file);
      status = 1;
      return;
    }
    api32::uo_nv_file().of_setfileattribute_normal(windows_path(attrib_file));
    status = 0;
  });
}

}  // namespace api32::tool
