// cmd_archive_check.cpp - `test`: every entry of a zip archive read through the library, nothing written.
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>

#include "api32/host/archive_progress.hpp"
#include "api32/host/host_services.hpp"
#include "api32/runtime/text.hpp"
#include "api32/zip/uo_nv_ziplib.hpp"
#include "api32/zip/ziplib_entry_problem.hpp"
#include "archive_commands.hpp"
#include "host_setup.hpp"
#include "output.hpp"
#include "progress_line.hpp"

namespace api32::tool {
namespace {

struct bad_entry {
  std::string name;
  std::string reason;
};

struct check_result {
  std::uint64_t entries = 0;
  std::uint64_t bytes = 0;  // declared uncompressed total
  std::vector<bad_entry> bad;
};

// Reads every entry of the open archive `handle`, as the progress meter reports it.
void check_entries(api32::uo_nv_ziplib& zip, std::uint32_t handle, const archive_input& input,
                   const archive_flags& flags, check_result& result) {
  using api32::uo_nv_ziplib;
  for (auto rc = zip.of_unzgotofirstfile(handle); rc == 0; rc = zip.of_unzgotonextfile(handle)) {
    ++result.entries;
    result.bytes += api32::zipentry::current_entry_size(handle).value_or(0);
  }
  api32::host::progress_meter meter(api32::host::progress_report::kind::testing, input.shown(), result.entries,
                                    result.bytes);
  std::uint64_t walked = 0;
  auto rc = zip.of_unzgotofirstfile(handle);
  for (; rc == 0; rc = zip.of_unzgotonextfile(handle)) {
    ++walked;
    std::string name = api32::zipentry::current_entry_name(handle).value_or("");
    meter.start_entry(name);
    auto problem = api32::zipentry::verify_current_entry(handle, &meter);
    meter.entry_done();
    if (problem != api32::zipentry::entry_problem::none)
      result.bad.push_back({name, api32::zipentry::describe(problem)});
    else if (flags.verbose)
      std::printf("OK     %s\n", escape_controls(name).c_str());
  }
  // a walk that stops before the end of the directory: the rest cannot be checked
  if (rc != uo_nv_ziplib::unz_end_of_list_of_file)
    result.bad.push_back({"", "the directory cannot be read after entry " + std::to_string(walked)});
}

int check(const archive_input& input, bool json, const archive_flags& flags) {
  if (is_rar_archive(input.path())) {
    fail(input.shown() + ": test reads zip archives; RAR archives are checked by the archiver as it extracts");
    return 1;
  }
  auto zip = api32::host::globals().gziplib;
  std::uint32_t handle = zip->of_unzopen(windows_path(input.path()));
  if (handle == 0) {
    fail(input.shown() + ": not a zip archive, or too damaged to read");
    return 1;
  }
  check_result result;
  {
    progress_line progress(flags.quiet || json);
    check_entries(*zip, handle, input, flags, result);
  }
  zip->of_unzclose(handle);
  for (const auto& bad : result.bad)
    fail(input.shown() + ": " + (bad.name.empty() ? "" : escape_controls(bad.name) + ": ") + bad.reason);
  if (json) {
    nlohmann::ordered_json out = {{"archive", api32::text::make_valid_utf8(input.shown())},
                                  {"entries", result.entries},
                                  {"bytes", result.bytes},
                                  {"ok", result.bad.empty()},
                                  {"bad", nlohmann::ordered_json::array()}};
    for (const auto& bad : result.bad)
      out["bad"].push_back({{"name", api32::text::make_valid_utf8(bad.name)}, {"reason", bad.reason}});
    std::printf("%s\n", out.dump(2).c_str());
  } else if (!flags.quiet && result.bad.empty()) {
    std::printf("No errors in %s: %llu entries, %llu bytes\n", input.shown().c_str(),
                static_cast<unsigned long long>(result.entries), static_cast<unsigned long long>(result.bytes));
  } else if (!flags.quiet) {
    std::printf("%zu of %llu entries of %s are damaged or cannot be read\n", result.bad.size(),
                static_cast<unsigned long long>(result.entries), input.shown().c_str());
  }
  return result.bad.empty() ? 0 : 1;
}

}  // namespace

void add_test_command(CLI::App& app, int& status) {
  auto* t = app.add_subcommand("test", "read every entry of a ZIP archive, checking sizes and CRCs; write nothing");
  static std::string archive_storage;
  auto* archive = &archive_storage;
  static bool json_storage(false);
  auto* json = &json_storage;
  static archive_flags flags_storage;
  auto* flags = &flags_storage;
  t->add_option("ARCHIVE", *archive, "the archive (- reads it from standard input)")->required();
  t->add_flag("--json", *json, "print the result as JSON");
  add_archive_flags(t, *flags, false);
  t->callback([&status, archive, json, flags] {
    archive_input input(*archive);
    status = input.ok() ? check(input, *json, *flags) : 1;
  });
}

}  // namespace api32::tool
