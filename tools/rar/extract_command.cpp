// extract_command.cpp - x: reading entries through libarchive and writing them safely below the destination.
#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <memory>
#include <set>

#include "api32/runtime/text.hpp"
#include "api32/win32/files_confined.hpp"
#include "api32/win32/paths.hpp"
#include "api32/zip/ziplib_entry_problem.hpp"
#include "tools/rar/archive_index.hpp"
#include "tools/rar/commands.hpp"
#include "tools/rar/crc32.hpp"
#include "tools/rar/entry_names.hpp"

namespace rartool {
namespace {

struct archive_deleter {
  void operator()(archive* a) const { archive_read_free(a); }
};
using archive_ptr = std::unique_ptr<archive, archive_deleter>;

std::string entry_name(archive_entry* e) {
  if (const char* utf8 = archive_entry_pathname_utf8(e)) return utf8;
  if (const char* raw = archive_entry_pathname(e)) return raw;
  return {};
}

std::string hardlink_name(archive_entry* e) {
  if (const char* utf8 = archive_entry_hardlink_utf8(e)) return utf8;
  if (const char* raw = archive_entry_hardlink(e)) return raw;
  return {};
}

std::string trimmed_name(std::string name) {
  name = forward_slashes(name);
  while (!name.empty() && name.back() == '/') name.pop_back();
  return name;
}

bool mentions_checksum(const char* message) {
  const std::string text = api32::text::lower(message ? message : "");
  return text.find("crc") != std::string::npos || text.find("checksum") != std::string::npos;
}

std::string key_of(const std::vector<std::string>& components) {
  std::string key;
  for (const auto& c : components) key += "/" + api32::text::lower(c);
  return key;
}

class extraction {
public:
  extraction(const options& opt, status& st, std::string archive_label)
      : opt_(opt), st_(st), label_(std::move(archive_label)), inner_(clean_inner_path(opt.inner_path)) {}

  /// `windows_path` names the archive for the zip reader's overlap check.
  void run(int archive_fd, const std::string& windows_path);

private:
  void handle_entry(archive* a, archive_entry* e, const indexed_entry* index_entry);
  void extract_data(archive* a, archive_entry* e, const std::string& name, const std::vector<std::string>& parts,
                    const indexed_entry* index_entry);
  void extract_hardlink(archive_entry* e, const std::string& name, const std::vector<std::string>& parts);
  bool placed(const api32::win32::confined_outcome& outcome, const std::string& name);
  bool commit(api32::win32::confined_file& file, archive_entry* e, const std::string& name,
              const std::vector<std::string>& parts);
  void write_failed(const std::string& name, const api32::win32::confined_outcome& outcome);
  api32::win32::confined_folder* target();
  const indexed_entry* match_index(archive_entry* e, std::size_t ordinal);
  bool fits_on_disk();
  api32::win32::existing_target existing_rule() const {
    return opt_.overwrite == overwrite_mode::always ? api32::win32::existing_target::replace
                                                    : api32::win32::existing_target::keep;
  }
  static unsigned mode_of(archive_entry* e) { return (archive_entry_perm(e) & 0111) != 0 ? 0777 : 0666; }
  void say(exit_code code, const std::string& name, const std::string& problem) {
    st_.report(code, label_ + ": " + name + ": " + problem);
  }

  const options& opt_;
  status& st_;
  std::string label_;
  std::string inner_;
  archive_index index_;
  bool index_usable_ = false;
  std::unique_ptr<api32::win32::confined_folder> destination_;
  bool destination_failed_ = false;
  bool matched_ = false;
  bool stop_ = false;
  std::set<std::string> extracted_;    // files written in this run, for hard links to them
  std::set<std::string> overlapping_;  // zip entries whose data overlap another's: never written
};

api32::win32::confined_folder* extraction::target() {
  if (destination_) return destination_.get();
  if (destination_failed_) return nullptr;
  const std::string given = opt_.destination.value_or("");
  std::optional<std::string> native =
      given.empty() ? std::optional<std::string>(".") : api32::win32::to_native_path(given);
  int error = ENOENT;
  if (native) destination_ = api32::win32::confined_folder::open(*native, true, error);
  if (!destination_) {
    destination_failed_ = true;
    stop_ = true;
    st_.report(exit_code::create_error, "cannot create the folder " + given + ": " + error_text(error));
  }
  return destination_.get();
}

const indexed_entry* extraction::match_index(archive_entry* e, std::size_t ordinal) {
  if (!index_usable_) return nullptr;
  if (ordinal >= index_.entries.size()) {
    index_usable_ = false;
    return nullptr;
  }
  const indexed_entry& ie = index_.entries[ordinal];
  const bool folder = archive_entry_filetype(e) == AE_IFDIR;
  bool consistent = ie.directory == folder;
  if (ie.name && trimmed_name(*ie.name) != trimmed_name(entry_name(e))) consistent = false;
  if (archive_entry_filetype(e) == AE_IFREG && !archive_entry_hardlink(e) && archive_entry_size_is_set(e) &&
      static_cast<std::uint64_t>(archive_entry_size(e)) != ie.size)
    consistent = false;
  if (!consistent) {
    // the decoder sees the archive differently from the headers: trust only the decoder from here on
    index_usable_ = false;
    return nullptr;
  }
  return &ie;
}

bool extraction::placed(const api32::win32::confined_outcome& outcome, const std::string& name) {
  using api32::win32::confined_result;
  switch (outcome.result) {
    case confined_result::ok:
      return true;
    case confined_result::exists:
      st_.report(exit_code::success, label_ + ": " + name + ": exists, not overwritten");
      break;
    case confined_result::link_in_the_way:
      say(exit_code::warning, name, "a symbolic link is in the way (" + outcome.detail + "), not extracted");
      break;
    case confined_result::unsafe_name:
      say(exit_code::warning, name, "unsafe path (absolute or with \"..\"), skipped");
      break;
    default:
      say(exit_code::create_error, name, "cannot create " + outcome.detail + ": " + error_text(outcome.error));
      break;
  }
  return false;
}

void extraction::write_failed(const std::string& name, const api32::win32::confined_outcome& outcome) {
  if (outcome.result == api32::win32::confined_result::link_in_the_way) return void(placed(outcome, name));
  say(exit_code::write_error, name, "write error: " + error_text(outcome.error));
  stop_ = true;  // a full disk fails every file that follows too
}

bool extraction::commit(api32::win32::confined_file& file, archive_entry* e, const std::string& name,
                        const std::vector<std::string>& parts) {
  std::optional<struct timespec> modified;
  if (archive_entry_mtime_is_set(e) != 0) {
    modified = timespec{};
    modified->tv_sec = static_cast<time_t>(archive_entry_mtime(e));
    modified->tv_nsec = archive_entry_mtime_nsec(e);
  }
  auto outcome = file.commit(modified);
  if (!outcome) {
    if (outcome.result == api32::win32::confined_result::link_in_the_way) return placed(outcome, name);
    const int error = outcome.error;
    say(error == ENOSPC || error == EIO || error == EDQUOT ? exit_code::write_error : exit_code::create_error, name,
        "cannot create: " + error_text(error));
    return false;
  }
  extracted_.insert(key_of(parts));
  return true;
}

void extraction::extract_data(archive* a, archive_entry* e, const std::string& name,
                              const std::vector<std::string>& parts, const indexed_entry* index_entry) {
  api32::win32::confined_folder* dest = target();
  if (!dest) return;
  std::unique_ptr<api32::win32::confined_file> file;
  if (!placed(dest->create_file(parts, existing_rule(), mode_of(e), file), name)) return;

  const bool check_crc = index_entry && index_entry->crc;
  std::uint32_t crc = 0;
  std::uint64_t written = 0;
  // Only a sparse entry (tar) has holes. They are skipped, not written: the file is extended over them, so an
  // offset or size that a header merely claims costs neither disk space nor time.
  const bool sparse = archive_entry_sparse_count(e) > 0;
  api32::win32::confined_outcome outcome;
  auto put = [&](const std::uint8_t* data, std::size_t size) {
    if (check_crc) crc = crc32_update(crc, data, size);
    written += size;
    return static_cast<bool>(outcome = file->write(data, size));
  };
  auto skip_to = [&](std::uint64_t offset) {
    if (!(outcome = file->extend_to(offset))) return false;
    written = offset;
    return true;
  };
  auto truncated = [&]() {
    say(exit_code::fatal, name, "the data is truncated, not extracted");
    stop_ = true;  // nothing after it can be read either
  };
  while (true) {
    const void* block = nullptr;
    std::size_t size = 0;
    la_int64_t offset = 0;
    int r = archive_read_data_block(a, &block, &size, &offset);
    if (r == ARCHIVE_EOF) break;
    if (r < ARCHIVE_WARN) {
      const char* message = archive_error_string(a);
      say(mentions_checksum(message) ? exit_code::crc_error : exit_code::fatal, name,
          std::string(message ? message : "cannot read the data") + ", not extracted");
      if (r == ARCHIVE_FATAL) stop_ = true;
      return;
    }
    if (offset > 0 && static_cast<std::uint64_t>(offset) > written) {
      if (!sparse) return truncated();  // data that does not follow on is not what the header described
      if (!skip_to(static_cast<std::uint64_t>(offset))) return write_failed(name, outcome);
    }
    if (size > 0 && !put(static_cast<const std::uint8_t*>(block), size)) return write_failed(name, outcome);
  }
  if (index_entry) {
    if (written != index_entry->size) return truncated();
  } else if (archive_entry_size_is_set(e) && static_cast<std::uint64_t>(archive_entry_size(e)) > written) {
    // a sparse file may end in a hole; any other entry that delivers less than its size is cut short (a zip
    // entry claiming gigabytes once came out as that many zeros)
    if (!sparse || index_.version != 0) return truncated();
    if (!skip_to(static_cast<std::uint64_t>(archive_entry_size(e)))) return write_failed(name, outcome);
  }
  if (check_crc && crc != *index_entry->crc) return say(exit_code::crc_error, name, "checksum error, not extracted");
  commit(*file, e, name, parts);
}

void extraction::extract_hardlink(archive_entry* e, const std::string& name, const std::vector<std::string>& parts) {
  auto below = below_inner_path(inner_, hardlink_name(e));
  auto target_parts = below ? safe_components(*below) : std::nullopt;
  if (!target_parts || target_parts->empty() || !extracted_.count(key_of(*target_parts)))
    return say(exit_code::warning, name, "link to a file that was not extracted, skipped");
  api32::win32::confined_folder* dest = target();
  if (!dest) return;
  unique_fd source = dest->open_file(*target_parts);
  if (!source) return say(exit_code::warning, name, "link to a file that was not extracted, skipped");
  std::unique_ptr<api32::win32::confined_file> file;
  if (!placed(dest->create_file(parts, existing_rule(), mode_of(e), file), name)) return;
  // hard links are written as copies: a link would tie two names of the destination together
  std::vector<std::uint8_t> buffer(1 << 20);
  while (true) {
    ssize_t got = ::read(source.get(), buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return say(exit_code::fatal, name, "cannot read the linked file: " + error_text(errno));
    if (got == 0) break;
    if (auto outcome = file->write(buffer.data(), static_cast<std::size_t>(got)); !outcome)
      return write_failed(name, outcome);
  }
  commit(*file, e, name, parts);
}

void extraction::handle_entry(archive* a, archive_entry* e, const indexed_entry* index_entry) {
  const std::string full_name = entry_name(e);
  auto inside = below_inner_path(inner_, full_name);
  if (!inside) return;
  const std::string& name = *inside;
  bool selected = false;
  for (const auto& mask : opt_.masks) selected = selected || mask_matches(mask, name);
  if (!selected) return;
  matched_ = true;

  auto parts = safe_components(name);
  if (!parts) return say(exit_code::warning, full_name, "unsafe path (absolute or with \"..\"), skipped");
  if (parts->empty()) return;
  if (overlapping_.count(full_name))
    return say(exit_code::warning, full_name, "its data overlap another entry's (a zip bomb), not extracted");
  if ((index_entry && index_entry->encrypted) || archive_entry_is_data_encrypted(e) > 0)
    return say(exit_code::crc_error, full_name, "encrypted, not extracted (no password support)");

  const bool has_data = archive_entry_size_is_set(e) && archive_entry_size(e) > 0;
  if (archive_entry_hardlink(e) && !has_data) return extract_hardlink(e, full_name, *parts);
  switch (archive_entry_filetype(e)) {
    case AE_IFDIR:
      if (api32::win32::confined_folder* dest = target()) placed(dest->make_folder(*parts), full_name);
      return;
    case AE_IFREG:
      return extract_data(a, e, full_name, *parts, index_entry);
    case AE_IFLNK:
      return say(exit_code::warning, full_name, "symbolic link, not created");
    default:
      return say(exit_code::warning, full_name, "not a file or folder, skipped");
  }
}

// What the headers declare for the selected entries, checked against the free space below the destination
// before anything is written: an archive that cannot fit is a clear failure, not a disk filled half-way.
bool extraction::fits_on_disk() {
  if (!index_usable_) return true;  // sizes are known from the headers only
  const bool every_entry = inner_.empty() && opt_.masks == std::vector<std::string>{"*"};
  std::uint64_t total = 0;
  for (const auto& ie : index_.entries) {
    if (ie.directory || ie.encrypted) continue;
    bool selected = every_entry;
    if (!selected && ie.name) {
      auto inside = below_inner_path(inner_, *ie.name);
      for (const auto& mask : opt_.masks) selected = selected || (inside && mask_matches(mask, *inside));
    }
    if (selected) total = ie.size > UINT64_MAX - total ? UINT64_MAX : total + ie.size;
  }
  api32::win32::confined_folder* dest = total > 0 ? target() : nullptr;
  auto available = dest ? dest->available_bytes() : std::nullopt;
  if (!available || total <= *available) return true;
  st_.report(exit_code::write_error, label_ + ": not enough space: the entries need " + std::to_string(total) +
                                         " bytes, the destination has " + std::to_string(*available) +
                                         " bytes free; nothing extracted");
  return false;
}

void extraction::run(int archive_fd, const std::string& windows_path) {
  // a zip archive is read in order, as a stream, where records sharing one entry's data (the overlapping
  // zip bomb) cannot be seen: the zip reader names them first
  for (auto& name : api32::zipentry::overlapping_entries(windows_path)) overlapping_.insert(std::move(name));
  {
    file_input in(archive_fd);
    index_ = read_index(in);
  }
  index_usable_ = index_.version != 0;
  if (index_.headers_encrypted) {
    st_.report(exit_code::fatal, label_ + ": the archive's headers are encrypted (no password support)");
    return;
  }
  if (!fits_on_disk()) return;
  archive_ptr a(archive_read_new());
  if (!a) {
    st_.report(exit_code::fatal, label_ + ": out of memory");
    return;
  }
  archive_read_support_format_all(a.get());
  archive_read_support_filter_all(a.get());
  if (archive_read_open_fd(a.get(), archive_fd, 1 << 20) != ARCHIVE_OK) {
    const char* message = archive_error_string(a.get());
    st_.report(exit_code::fatal, label_ + ": not an archive that can be read (" +
                                     std::string(message ? message : "unknown format") + ")");
    return;
  }
  archive_entry* e = nullptr;
  for (std::size_t ordinal = 0; !stop_; ++ordinal) {
    int r = archive_read_next_header(a.get(), &e);
    if (r == ARCHIVE_EOF) break;
    if (r < ARCHIVE_WARN) {
      const char* message = archive_error_string(a.get());
      st_.report(mentions_checksum(message) ? exit_code::crc_error : exit_code::fatal,
                 label_ + ": " + std::string(message ? message : "damaged archive"));
      stop_ = true;
      break;
    }
    handle_entry(a.get(), e, match_index(e, ordinal));
  }
  if (!matched_ && !stop_) st_.report(exit_code::no_files, label_ + ": no files to extract");
}

}  // namespace

unique_fd open_archive(const options& opt, status& st) {
  auto native = archive_native_path(opt.archive, false);
  unique_fd fd(native ? ::open(native->c_str(), O_RDONLY | O_CLOEXEC) : -1);
  struct stat info;
  if (fd && (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))) {
    fd.close();
    errno = EISDIR;
  }
  if (!fd) st.report(exit_code::open_error, "cannot open " + opt.archive + ": " + error_text(native ? errno : ENOENT));
  return fd;
}

void run_extract(const options& opt, status& st) {
  unique_fd fd = open_archive(opt, st);
  auto native = archive_native_path(opt.archive, false);
  if (fd && native) extraction(opt, st, opt.archive).run(fd.get(), api32::win32::to_windows_path(*native));
}

std::optional<std::string> archive_native_path(const std::string& windows_path, bool adding) {
  auto native = api32::win32::to_native_path(windows_path);
  if (!native) return native;
  std::size_t slash = native->rfind('/');
  const bool has_extension = native->find('.', slash == std::string::npos ? 0 : slash + 1) != std::string::npos;
  if (has_extension || native->empty() || native->back() == '/') return native;
  struct stat st;
  if (adding || ::stat(native->c_str(), &st) != 0) {
    auto with_extension = api32::win32::to_native_path(windows_path + ".rar");
    if (with_extension) return with_extension;
  }
  return native;
}

}  // namespace rartool
