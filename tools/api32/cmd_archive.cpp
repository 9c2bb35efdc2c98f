// cmd_archive.cpp - list, extract, cat, create, compress, uncompress.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include "api32/compression/uo_nv_compression.hpp"
#include "api32/host/files.hpp"
#include "api32/host/host_services.hpp"
#include "api32/runtime/text.hpp"
#include "api32/zip/uo_nv_ziplib.hpp"
#include "api32/zip/ziplib_entry_problem.hpp"
#include "archive_commands.hpp"
#include "archive_input.hpp"
#include "commands.hpp"
#include "host_setup.hpp"
#include "output.hpp"
#include "progress_line.hpp"

namespace fs = std::filesystem;

namespace api32::tool {
namespace {

bool is_rar(const std::string& path) { return is_rar_archive(path); }

bool read_all(const std::string& native, api32::blob& out) {
  std::ifstream in(native, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// Hands the file's bytes to `sink` in blocks; false when the file cannot be read (or `sink` refuses).
template <class Sink>
bool copy_file_to(const std::string& native, Sink&& sink) {
  std::ifstream in(native, std::ios::binary);
  if (!in) return false;
  std::vector<std::uint8_t> block(65536);
  while (in) {
    in.read(reinterpret_cast<char*>(block.data()), static_cast<std::streamsize>(block.size()));
    std::streamsize got = in.gcount();
    if (got > 0 && !sink(block.data(), static_cast<std::size_t>(got))) return false;
  }
  return !in.bad();
}

bool write_all(const std::string& native, const api32::blob& data) {
  std::ofstream out(native, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  return static_cast<bool>(out);
}

// Makes the entry that `entry` names current, the way the listing shows names: either separator, any case.
// `entry` becomes the name as the archive stores it; false when there is no such entry.
bool locate_entry(api32::uo_nv_ziplib& zip, std::uint32_t handle, std::string& entry) {
  std::string forward = entry, backward = entry;
  std::replace(forward.begin(), forward.end(), '\\', '/');
  std::replace(backward.begin(), backward.end(), '/', '\\');
  for (const std::string* name : {&entry, &forward, &backward}) {
    if (zip.of_unzlocatefile(handle, *name) == 0) {
      entry = *name;
      return true;
    }
  }
  return false;
}

// Says on stderr why `entry` of a zip archive could not be read, or that `otherwise` failed.
void report_failed_entry(std::uint32_t handle, const std::string& entry, const std::string& archive,
                         const std::string& otherwise) {
  auto problem = api32::zipentry::current_entry_problem(handle);
  if (problem == api32::zipentry::entry_problem::none || problem == api32::zipentry::entry_problem::no_current_entry)
    fail(otherwise);
  else
    fail("refused " + escape_controls(entry) + " in " + archive + ": " + api32::zipentry::describe(problem));
}

// Creates the folder with its missing parents; says why on stderr (one line) when it cannot.
bool make_folder(const std::string& folder) {
  std::error_code ec;
  std::string native = native_path(folder);
  fs::create_directories(native, ec);
  if (ec || !fs::is_directory(native)) {
    fail("cannot create the folder " + folder + (ec ? ": " + ec.message() : ": a file is in the way"));
    return false;
  }
  return true;
}

// Whether a kept file is the user's choice (--skip-existing, --keep-newer) rather than a failure.
bool kept_by_choice(const std::string& reason) {
  return reason.rfind("exists, not replaced", 0) == 0 || reason.rfind("a file as new or newer", 0) == 0;
}

// Prints the entries a whole-archive extraction did not write while it lives; counts those that fail it.
class skipped_entries {
public:
  skipped_entries(const std::string& shown, const archive_flags& flags) {
    api32::host::globals().entry_not_extracted = [this, shown, verbose = flags.verbose](const auto& skipped) {
      bool chosen = kept_by_choice(skipped.reason);
      if (chosen)
        ++kept_;
      else
        ++failed_;
      if (!chosen || verbose)
        std::fprintf(stderr, "api32: %s: %s not extracted: %s\n", shown.c_str(), escape_controls(skipped.entry).c_str(),
                     skipped.reason.c_str());
    };
  }
  ~skipped_entries() { api32::host::globals().entry_not_extracted = nullptr; }
  skipped_entries(const skipped_entries&) = delete;
  skipped_entries& operator=(const skipped_entries&) = delete;
  int failed() const { return failed_; }
  int kept() const { return kept_; }

private:
  int failed_ = 0;
  int kept_ = 0;
};

// Says why the zip library could not open an archive, after the library's own box.
void report_unreadable(const archive_input& input) {
  fail(input.shown() + ": not a zip archive, or too damaged to read");
}

int list(const archive_input& input, const std::string& extract_to, bool table, bool json, const archive_flags& flags) {
  std::string path = windows_path(input.path());
  api32::uo_nv_compression front;
  api32::datastore rows(api32::d_zipfiles());
  if (is_rar(input.path())) {
    if (extract_to.empty()) return list_rar(input, json, table);
    front.of_unzopen(path);
    std::string base = windows_folder(extract_to);
    if (!make_folder(extract_to)) return 1;
    front.of_cudwdirectory(path, rows, base, true);
    if (!flags.quiet)
      std::fprintf(stderr, "extracted %s to %s\n", input.shown().c_str(), native_path(extract_to).c_str());
    return 0;
  }
  std::uint32_t handle = front.of_unzopen(path);  // shows the zip library's box when it cannot be opened
  if (handle == 0) {
    report_unreadable(input);
    return 1;
  }
  front.of_unzclose(handle);
  std::string base;
  if (!extract_to.empty()) {
    if (!make_folder(extract_to)) return 1;
    base = windows_folder(extract_to);
  }
  std::string listing;
  int failed = 0;
  int kept = 0;
  {
    skipped_entries skipped(input.shown(), flags);
    progress_line progress(flags.quiet);
    api32::host::globals().existing_files = flags.existing;
    listing = front.of_cudwdirectory(path, rows, base, !extract_to.empty());
    failed = skipped.failed();
    kept = skipped.kept();
  }
  bool escape = ::isatty(STDOUT_FILENO) != 0;  // names from an archive never reach a terminal raw
  if (json)
    print_listing_json(listing_fields(listing, rows));
  else if (table)
    print_table(rows, escape);
  else if (!flags.quiet || extract_to.empty())
    print_listing(listing_fields(listing, rows), escape);
  if (!extract_to.empty() && (!flags.quiet || failed > 0)) {
    int written = rows.rowcount() - failed - kept;
    std::fprintf(stderr, "%d files extracted below %s", written, native_path(extract_to).c_str());
    if (kept > 0) std::fprintf(stderr, ", %d kept as they were", kept);
    if (failed > 0) std::fprintf(stderr, ", %d not extracted", failed);
    std::fprintf(stderr, "\n");
  }
  return failed > 0 ? 1 : 0;
}

int extract(const archive_input& input, const std::string& entry, const std::string& target,
            const archive_flags& flags) {
  std::string path = windows_path(input.path());
  std::string target_windows = windows_path(target);
  std::string folder = target_windows.substr(0, target_windows.rfind('\\') + 1);
  api32::uo_nv_compression front;
  std::uint32_t handle = front.of_unzopen(path);
  if (handle == 0) {
    if (!is_rar(path)) report_unreadable(input);
    return 1;
  }
  std::string name = entry;
  if (!is_rar(path) && !locate_entry(*api32::host::globals().gziplib, handle, name)) {
    front.of_unzclose(handle);
    fail("no entry " + escape_controls(entry) + " in " + input.shown());
    return 1;
  }
  api32::host::globals().existing_files = flags.existing;
  bool ok = front.of_extractfile(handle, name, target_windows, folder);
  std::string failure = is_rar(path) ? "" : api32::zipentry::extraction_failure(handle);
  int status = ok ? 0 : 1;
  if (!ok && kept_by_choice(failure)) {
    if (flags.verbose) fail(input.shown() + ": " + escape_controls(name) + " not extracted: " + failure);
    status = 0;
  } else if (!ok && !is_rar(path)) {
    report_failed_entry(handle, name, input.shown(), "could not write " + target);
  } else if (!ok) {
    fail("could not extract " + escape_controls(entry) + " from " + input.shown());
  } else if (flags.verbose) {
    std::fprintf(stderr, "extracted %s to %s\n", escape_controls(name).c_str(), native_path(target).c_str());
  }
  front.of_unzclose(handle);
  return status;
}

int cat(const archive_input& input, const std::string& entry) {
  std::string path = windows_path(input.path());
  // The entry goes to stdout block by block, so memory does not grow with its size. Its first MiB is held
  // back until the entry was read whole: an entry of up to 1 MiB that fails its check (a CRC mismatch found at
  // its end) writes nothing; a larger one has been streamed when the failure is found, as unzip -p does.
  constexpr std::size_t held_back = 1 << 20;
  api32::blob pending;
  bool streaming = false;
  bool written = true;
  auto put = [&written](const std::uint8_t* data, std::size_t size) {
    written = written && (size == 0 || std::fwrite(data, 1, size, stdout) == size);
    return written;
  };
  auto to_stdout = [&](const std::uint8_t* data, std::size_t size) {
    if (streaming) return put(data, size);
    pending.insert(pending.end(), data, data + size);
    if (pending.size() <= held_back) return true;
    streaming = true;
    bool ok = put(pending.data(), pending.size());
    api32::blob().swap(pending);
    return ok;
  };
  if (is_rar(path)) {
    api32::uo_nv_compression front;
    front.of_unzopen(path);
    if (front.of_unzlocatefile(api32::uo_nv_compression::rar_id, entry) != 0) {
      fail("no entry " + escape_controls(entry) + " in " + input.shown());
      return 1;
    }
    std::string copy = api32::host::globals().app_path + "tmps\\" + entry;
    bool read = copy_file_to(native_path(copy), to_stdout);
    api32::files::file_delete(copy);
    if (!read && written) {
      fail("could not read " + escape_controls(entry) + " extracted from " + input.shown());
      return 1;
    }
  } else {
    auto zip = api32::host::globals().gziplib;
    std::uint32_t handle = zip ? zip->of_unzopen(path) : 0;
    if (handle == 0) {
      report_unreadable(input);
      return 1;
    }
    std::string name = entry;
    bool found = locate_entry(*zip, handle, name);
    bool ok = found && zip->stream_entry(handle, name, to_stdout);
    if (found && !ok && written)
      report_failed_entry(handle, name, input.shown(), "could not read " + escape_controls(name));
    zip->of_unzclose(handle);
    if (!found) {
      fail("no entry " + escape_controls(entry) + " in " + input.shown());
      return 1;
    }
    if (!ok && written) return 1;
  }
  put(pending.data(), pending.size());  // read whole: what was held back goes out
  if (std::fflush(stdout) != 0 || !written) {
    fail("could not write " + escape_controls(entry) + " to the standard output");
    return 1;
  }
  return 0;
}

// Adds a file or a folder's files, with their paths as the command line names them.
void collect(const fs::path& p, std::vector<std::string>& out) {
  std::error_code ec;
  if (fs::is_directory(p, ec)) {
    std::vector<fs::path> children;
    for (const auto& e : fs::recursive_directory_iterator(p, ec))
      if (e.is_regular_file()) children.push_back(e.path());
    std::sort(children.begin(), children.end());
    for (const auto& c : children) out.push_back(c.string());
  } else {
    out.push_back(p.string());
  }
}

int create(const std::string& archive, const std::vector<std::string>& paths, const std::string& folder,
           const std::string& comment, const archive_flags& flags) {
  std::string path = windows_path(archive);
  std::vector<std::string> sources;
  for (const auto& p : paths) {
    if (!fs::exists(native_path(p))) {
      fail("no such file or folder: " + p);
      return 1;
    }
    collect(p, sources);
  }
  api32::uo_nv_compression front;
  auto& host = api32::host::globals();
  if (is_rar(path)) {
    // the front-end never empties its staging folder: the host does, before every archive it builds
    std::string staging = native_path(host.app_path + "build");
    std::error_code ec;
    fs::remove_all(staging, ec);
    fs::create_directories(staging, ec);
    front.of_zipopen(path);
    std::string folder_windows = folder;
    for (char& c : folder_windows)
      if (c == '/') c = '\\';
    if (!folder_windows.empty() && folder_windows.back() != '\\') folder_windows += '\\';
    for (const auto& s : sources) {
      // the file's path below the current folder (or its name alone when it lies elsewhere)
      fs::path absolute = fs::absolute(s).lexically_normal();
      fs::path relative = absolute.lexically_relative(fs::current_path());
      if (relative.empty() || *relative.begin() == "..") relative = absolute.filename();
      fs::path base = absolute;
      for (auto it = relative.begin(); it != relative.end(); ++it) base = base.parent_path();
      std::string name = relative.string();
      for (char& c : name)
        if (c == '/') c = '\\';
      front.of_importfile(api32::uo_nv_compression::rar_id, name, folder_windows, windows_folder(base.string()));
    }
    front.of_zipclose(api32::uo_nv_compression::rar_id, comment);
    if (!fs::exists(native_path(archive))) {
      fail("the archiver did not create " + archive);
      return 1;
    }
    return 0;
  }
  std::uint32_t handle = front.of_zipopen(path);
  if (handle == 0) return 1;
  int failures = 0;
  progress_line progress(flags.quiet);
  std::vector<std::uint64_t> sizes;
  std::uint64_t total = 0;
  for (const auto& s : sources) {
    std::error_code ec;
    auto size = fs::file_size(native_path(s), ec);
    sizes.push_back(ec ? 0 : size);
    total += sizes.back();
  }
  progress.set_totals(sources.size(), total);
  std::uint64_t done = 0;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    const std::string& s = sources[i];
    progress.start_step(i, done);
    done += sizes[i];
    // relative paths stay relative (entry names follow them); absolute ones lose their drive
    std::string name = fs::path(s).is_absolute() ? windows_path(s) : s;
    for (char& c : name)
      if (c == '/') c = '\\';
    std::int16_t rc = front.of_importfile(handle, name, folder, "");
    if (rc != 0) {
      progress.clear();
      fail("could not add " + s + " (code " + std::to_string(rc) + ")");
      ++failures;
    } else if (flags.verbose) {
      progress.clear();
      std::fprintf(stderr, "added %s\n", s.c_str());
    }
  }
  progress.clear();
  std::int16_t rc = front.of_zipclose(handle, comment);
  if (rc != 0) fail("could not finish " + archive + " (code " + std::to_string(rc) + ")");
  return failures == 0 && rc == 0 ? 0 : 1;
}

int compress(const std::string& in, const std::string& out) {
  api32::blob source;
  if (!read_all(native_path(in), source)) {
    fail("cannot read " + in);
    return 1;
  }
  std::optional<api32::blob> packed;
  if (!api32::host::globals().gziplib->of_compress(source, packed) || !packed) return 1;
  if (!write_all(native_path(out), *packed)) {
    fail("cannot write " + out);
    return 1;
  }
  std::fprintf(stderr, "%zu bytes -> %zu bytes (keep the size %zu to uncompress)\n", source.size(), packed->size(),
               source.size());
  return 0;
}

int uncompress(const std::string& in, const std::string& out, std::uint32_t size) {
  api32::blob source;
  if (!read_all(native_path(in), source)) {
    fail("cannot read " + in);
    return 1;
  }
  std::optional<api32::blob> unpacked;
  if (!api32::host::globals().gziplib->of_uncompress(source, size, unpacked) || !unpacked) return 1;
  if (!write_all(native_path(out), *unpacked)) {
    fail("cannot write " + out);
    return 1;
  }
  return 0;
}

}  // namespace

void add_archive_flags(CLI::App* command, archive_flags& flags, bool extracts) {
  auto* quiet = command->add_flag("-q,--quiet", flags.quiet, "print nothing but errors (no progress, no summary)");
  command->add_flag("-v,--verbose", flags.verbose, "also name every file written and every file kept")->excludes(quiet);
  if (!extracts) return;
  using policy = api32::host::existing_file_policy;
  auto* group = command->add_option_group("existing files", "what to do with a file already in place");
  group->add_flag_callback(
      "--overwrite", [&flags] { flags.existing = policy::replace; }, "replace files already in place (the default)");
  group->add_flag_callback(
      "--skip-existing", [&flags] { flags.existing = policy::keep; }, "keep files already in place");
  group->add_flag_callback(
      "--keep-newer", [&flags] { flags.existing = policy::keep_newer; },
      "keep files already in place that are as new as the entry or newer");
  group->require_option(0, 1);
}

void add_archive_commands(CLI::App& app, int& status) {
  auto* l = app.add_subcommand("list", "list a ZIP or RAR archive (and extract it with --extract-to)");
  static std::string list_archive_storage;
  auto* list_archive = &list_archive_storage;
  static std::string list_to_storage;
  auto* list_to = &list_to_storage;
  static bool list_table_storage(false);
  auto* list_table = &list_table_storage;
  static bool list_json_storage(false);
  auto* list_json = &list_json_storage;
  static archive_flags list_flags_storage;
  auto* list_flags = &list_flags_storage;
  l->add_option("ARCHIVE", *list_archive, "the archive (- reads it from standard input)")->required();
  l->add_option("--extract-to", *list_to, "extract every entry below this folder");
  auto* t = l->add_flag("--table", *list_table, "print the d_zipfiles table");
  l->add_flag("--json", *list_json, "print the rows as JSON")->excludes(t);
  add_archive_flags(l, *list_flags, true);
  l->callback([&status, list_archive, list_to, list_table, list_json, list_flags] {
    archive_input input(*list_archive);
    status = input.ok() ? list(input, *list_to, *list_table, *list_json, *list_flags) : 1;
  });

  auto* e = app.add_subcommand("extract", "extract one entry to a file");
  static std::vector<std::string> e_args_storage(3);
  auto* e_args = &e_args_storage;
  static archive_flags e_flags_storage;
  auto* e_flags = &e_flags_storage;
  e->add_option("ARCHIVE", (*e_args)[0], "the archive (- reads it from standard input)")->required();
  e->add_option("ENTRY", (*e_args)[1], "the entry's name (either separator, any case)")->required();
  e->add_option("TARGET", (*e_args)[2], "the file to write")->required();
  add_archive_flags(e, *e_flags, true);
  e->callback([&status, e_args, e_flags] {
    archive_input input((*e_args)[0]);
    status = input.ok() ? extract(input, (*e_args)[1], (*e_args)[2], *e_flags) : 1;
  });

  auto* c = app.add_subcommand("cat", "write an entry's bytes to standard output");
  static std::vector<std::string> c_args_storage(2);
  auto* c_args = &c_args_storage;
  c->add_option("ARCHIVE", (*c_args)[0], "the archive (- reads it from standard input)")->required();
  c->add_option("ENTRY", (*c_args)[1])->required();
  c->callback([&status, c_args] {
    archive_input input((*c_args)[0]);
    status = input.ok() ? cat(input, (*c_args)[1]) : 1;
  });

  add_test_command(app, status);

  auto* cr = app.add_subcommand("create", "create a ZIP or RAR archive (by its name) from files and folders");
  static std::string cr_archive_storage;
  auto* cr_archive = &cr_archive_storage;
  static std::vector<std::string> cr_paths_storage;
  auto* cr_paths = &cr_paths_storage;
  static std::string cr_folder_storage;
  auto* cr_folder = &cr_folder_storage;
  static std::string cr_comment_storage;
  auto* cr_comment = &cr_comment_storage;
  static archive_flags cr_flags_storage;
  auto* cr_flags = &cr_flags_storage;
  cr->add_option("ARCHIVE", *cr_archive)->required();
  cr->add_option("PATH", *cr_paths, "files and folders to add")->required();
  cr->add_option("--folder", *cr_folder, "prefix of every entry's name inside the archive");
  cr->add_option("--comment", *cr_comment, "the archive's comment (ZIP)");
  add_archive_flags(cr, *cr_flags, false);
  cr->callback([&status, cr_archive, cr_paths, cr_folder, cr_comment, cr_flags] {
    status = create(*cr_archive, *cr_paths, *cr_folder, *cr_comment, *cr_flags);
  });

  auto* co = app.add_subcommand("compress", "compress a file into a zlib stream");
  static std::vector<std::string> co_args_storage(2);
  auto* co_args = &co_args_storage;
  co->add_option("IN", (*co_args)[0])->required();
  co->add_option("OUT", (*co_args)[1])->required();
  co->callback([&status, co_args] { status = compress((*co_args)[0], (*co_args)[1]); });

  auto* un = app.add_subcommand("uncompress", "uncompress a zlib stream");
  static std::vector<std::string> un_args_storage(2);
  auto* un_args = &un_args_storage;
  static std::uint32_t un_size_storage(0);
  auto* un_size = &un_size_storage;
  un->add_option("IN", (*un_args)[0])->required();
  un->add_option("OUT", (*un_args)[1])->required();
  un->add_option("--size", *un_size, "the uncompressed length (or more)")->required();
  un->callback([&status, un_args, un_size] { status = uncompress((*un_args)[0], (*un_args)[1], *un_size); });
}

}  // namespace api32::tool
