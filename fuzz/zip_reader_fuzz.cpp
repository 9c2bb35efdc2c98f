// zip_reader_fuzz.cpp - an arbitrary file through the zip class the way a host drives it: open, global
// information and comment, every entry's listing row, every entry read whole into memory and located by
// name; then the extracting listing into a folder of its own.
//
// Beyond the sanitizers, the target checks what the class promises: reads never return more than the length
// asked for, an entry that cannot be opened or read whole has a reason (zipentry::current_entry_problem),
// extraction writes nothing outside its base folder (nor through a link planted in it), creates no links,
// leaves no temporary of the confined writer behind, reports every entry it does not write with a reason, and
// every archive handle and descriptor the walk opened is closed again.
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "api32/host/host_services.hpp"
#include "api32/runtime/registry.hpp"
#include "api32/runtime/text.hpp"
#include "api32/win32/files_confined.hpp"
#include "api32/win32/handles.hpp"
#include "api32/win32/paths.hpp"
#include "api32/zip/uo_nv_ziplib.hpp"
#include "api32/zip/ziplib_entry_problem.hpp"
#include "fuzz/support/fuzz_support.hpp"

namespace {

using api32::uo_nv_ziplib;
using api32::zipentry::entry_problem;

// What a caller allows for one entry when its row cannot be read back (a name holding a tab).
constexpr std::uint32_t fallback_length = 1 << 16;

std::vector<std::string> fields_of(const std::string& row) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (std::size_t tab; (tab = row.find('\t', start)) != std::string::npos; start = tab + 1)
    fields.push_back(row.substr(start, tab - start));
  fields.push_back(row.substr(start));
  return fields;
}

// The declared uncompressed size and the full name of the current entry, as its listing row shows them.
void entry_of_row(const std::string& row, std::uint32_t& size, std::string& fullname) {
  size = fallback_length;
  fullname.clear();
  auto fields = fields_of(row);
  if (fields.size() != 9) return;
  std::from_chars(fields[3].data(), fields[3].data() + fields[3].size(), size);
  fullname = fields[8];
}

void read_every_entry(uo_nv_ziplib& zl, std::uint32_t archive) {
  std::uint32_t entries = 0, comment_size = 0;
  zl.of_unzgetglobalinfo(archive, entries, comment_size);
  (void)zl.of_unzgetglobalcomment(archive);

  std::vector<std::string> names;
  for (std::int16_t rc = zl.of_unzgotofirstfile(archive); rc == uo_nv_ziplib::unz_ok;
       rc = zl.of_unzgotonextfile(archive)) {
    std::string row = zl.of_unzgetcurrentfileinfo(archive);
    std::uint32_t declared = 0;
    std::string fullname;
    entry_of_row(row, declared, fullname);
    if (!fullname.empty() && names.size() < 64) names.push_back(fullname);

    if (zl.of_unzopencurrentfile(archive) != uo_nv_ziplib::unz_ok) {
      if (api32::zipentry::current_entry_problem(archive) == entry_problem::none)
        api32::fuzz::fail("an entry was refused without a reason (entry " + row + ")");
      continue;
    }
    api32::blob data;
    std::int16_t read = zl.of_unzreadcurrentfile(archive, data, declared);
    const std::string seen = " (entry " + row + ": asked " + std::to_string(declared) + ", got " +
                             std::to_string(data.size()) + " bytes, result " + std::to_string(read) + ")";
    if (data.size() > declared) api32::fuzz::fail("of_unzreadcurrentfile returned more than asked for" + seen);
    // (z_buf_error is also zlib's own code for deflate data that stops early, so only success is checked)
    if (read == 0 && data.size() != declared)
      api32::fuzz::fail("of_unzreadcurrentfile succeeded short of the length asked for" + seen);
    std::int16_t closed = zl.of_unzclosecurrentfile(archive);
    // a read or close that failed on the data (not for want of room) names its reason
    bool failed = (read < 0 && read != uo_nv_ziplib::z_buf_error) || closed != uo_nv_ziplib::unz_ok;
    if (failed && api32::zipentry::current_entry_problem(archive) == entry_problem::none)
      api32::fuzz::fail("a failed read has no reason" + seen + ", closed with " + std::to_string(closed));
  }
  for (const auto& name : names) {
    api32::blob data;
    (void)zl.of_extractblob(archive, name, data);
  }
}

// A temporary of the confined writer (".api32-<16 hex digits>.part"), unless an entry has that name.
bool is_leftover(const std::string& name, const api32::datastore& table) {
  if (!api32::win32::is_confined_temporary(name)) return false;
  for (std::int32_t row = 1; row <= table.rowcount(); ++row)
    if (table.getitemstring(row, "filename").value_or("") == name) return false;
  return true;
}

// A hostile local user's link in the base folder, to a folder beside it that must stay empty.
void plant_link(const std::string& sandbox, const std::string& out) {
  std::filesystem::create_directories(sandbox + "/trap");
  std::filesystem::create_directory_symlink(sandbox + "/trap", out + "/a");
}

void check_extraction(const std::string& sandbox, const std::string& out, const api32::datastore& table) {
  auto top = api32::fuzz::folder_names(sandbox);
  for (const auto& name : top) {
    if (name != "in.zip" && name != "out" && name != "trap")
      api32::fuzz::fail("extraction wrote outside its base folder: " + name);
  }
  if (!api32::fuzz::folder_names(sandbox + "/trap").empty())
    api32::fuzz::fail("extraction wrote through the link planted in its base folder");
  // the planted link (unless an entry replaced it with a file) is the only link allowed
  if (std::filesystem::is_symlink(out + "/a")) std::filesystem::remove(out + "/a");
  if (api32::fuzz::holds_symlink(out)) api32::fuzz::fail("extraction created a symbolic link");
  for (const auto& path : api32::fuzz::tree_below(out)) {
    auto slash = path.rfind('/');
    if (is_leftover(slash == std::string::npos ? path : path.substr(slash + 1), table))
      api32::fuzz::fail("extraction left a temporary file: " + path);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  api32::fuzz::silence_message_boxes();
  api32::registry::use_content_types(false);  // file types from the desktop database: slow and not under test
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string sandbox = api32::fuzz::scratch() + "/zip";
  const std::string archive_path = sandbox + "/in.zip";
  const std::string out = sandbox + "/out";
  api32::fuzz::remove_tree(sandbox);
  std::filesystem::create_directories(out);
  api32::fuzz::write_file(archive_path, data, size);

  const std::size_t handles_before = api32::win32::handles().count();
  const int descriptors_before = api32::fuzz::open_descriptors();
  {
    uo_nv_ziplib zl;
    const std::string archive_windows = api32::win32::to_windows_path(archive_path);
    if (std::uint32_t archive = zl.of_unzopen(archive_windows); archive != 0) {
      read_every_entry(zl, archive);
      zl.of_unzclose(archive);

      api32::datastore table(api32::d_zipfiles());
      (void)zl.of_dwdirectory(archive_windows);
      plant_link(sandbox, out);
      // every entry not written is reported, with a reason
      std::int32_t reported = 0;
      api32::host::globals().entry_not_extracted = [&](const api32::host::skipped_entry& e) {
        ++reported;
        if (e.reason.empty()) api32::fuzz::fail("an entry was reported not extracted without a reason: " + e.entry);
      };
      (void)zl.of_cudwdirectory(archive_windows, table, api32::win32::to_windows_path(out) + "\\", true);
      api32::host::globals().entry_not_extracted = nullptr;
      if (reported > table.rowcount()) api32::fuzz::fail("more entries reported not extracted than listed");
      check_extraction(sandbox, out, table);
    }
  }
  if (api32::win32::handles().count() != handles_before) api32::fuzz::fail("a handle was left open");
  if (api32::fuzz::open_descriptors() != descriptors_before) api32::fuzz::fail("a descriptor was left open");
  return 0;
}
