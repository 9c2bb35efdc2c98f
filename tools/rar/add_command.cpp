// add_command.cpp - a: writing a new archive beside the old one and renaming it into place when complete.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "api32/runtime/text.hpp"
#include "tools/rar/commands.hpp"
#include "tools/rar/crc32.hpp"
#include "tools/rar/entry_names.hpp"
#include "tools/rar/rar5_format.hpp"
#include "tools/rar/rar5_writer.hpp"
#include "tools/rar/source_files.hpp"
#include "tools/rar/update_plan.hpp"

namespace rartool {
namespace {

// The new archive while it is written: removed unless it is renamed into place.
class temporary_archive {
public:
  ~temporary_archive() {
    if (!path_.empty()) {
      fd_.close();
      ::unlink(path_.c_str());
    }
  }
  bool create(const std::string& archive, int& error) {
    const std::size_t slash = archive.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : archive.substr(0, slash + 1);
    for (int attempt = 0; attempt < 16; ++attempt) {
      std::string path = folder + "~rar" + random_suffix() + ".tmp";
      fd_ = unique_fd(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
      if (fd_) {
        path_ = path;
        return true;
      }
      if (errno != EEXIST) break;
    }
    error = errno;
    return false;
  }
  int fd() const { return fd_.get(); }
  /// Syncs, closes and renames over `archive`; errno in `error` on failure.
  bool install(const std::string& archive, int& error) {
    if (::fdatasync(fd_.get()) != 0 || !fd_.close() || ::rename(path_.c_str(), archive.c_str()) != 0) {
      error = errno;
      return false;
    }
    path_.clear();
    return true;
  }

private:
  unique_fd fd_;
  std::string path_;
};

class update {
public:
  update(const options& opt, status& st, std::string native) : opt_(opt), st_(st), native_(std::move(native)) {}
  void run();

private:
  bool read_old_archive();
  bool copy_group(const block_group& group);
  bool add_item(const source_item& item, rar5::writer& writer, bool& failed_source);
  void refuse(const std::string& why) {
    st_.report(exit_code::fatal, opt_.archive + ": cannot be updated, " + why + "; left unchanged");
  }

  const options& opt_;
  status& st_;
  std::string native_;
  unique_fd old_fd_;
  std::unique_ptr<file_input> old_;
  rar5::scan_result scan_;
  update_plan plan_;
  output* out_ = nullptr;
  std::vector<std::uint8_t> buffer_ = std::vector<std::uint8_t>(1 << 20);
};

bool update::read_old_archive() {
  old_fd_ = unique_fd(::open(native_.c_str(), O_RDONLY | O_CLOEXEC));
  if (!old_fd_) {
    st_.report(exit_code::open_error, "cannot open " + opt_.archive + ": " + error_text(errno));
    return false;
  }
  old_ = std::make_unique<file_input>(old_fd_.get());
  std::uint8_t head[sizeof rar5::signature_v4];
  if (old_->read_at(0, head, sizeof head) && std::memcmp(head, rar5::signature_v4, sizeof head) == 0) {
    refuse("it is a RAR 4 archive");
    return false;
  }
  if (!rar5::has_signature(*old_)) {
    refuse("it is not a RAR archive");
    return false;
  }
  scan_ = rar5::scan(*old_);
  plan_ = plan_update(scan_, old_->size());
  if (!plan_.refusal.empty()) {
    refuse(plan_.refusal);
    return false;
  }
  return true;
}

// Copies the group's blocks unchanged; stored data is checked against its CRC on the way.
bool update::copy_group(const block_group& group) {
  for (std::size_t index : group.blocks) {
    const rar5::block& b = scan_.blocks[index];
    const bool check = b.type == rar5::head_file && b.data_crc && rar5::ci_method(b.compression) == 0 && !b.encrypted &&
                       b.data_size == b.unpacked_size;
    std::uint32_t crc = 0;
    std::uint64_t offset = b.offset;
    const std::uint64_t data_start = b.offset + b.header_bytes;
    while (offset < b.end()) {
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(buffer_.size(), b.end() - offset));
      if (!old_->read_at(offset, buffer_.data(), n)) {
        st_.report(exit_code::fatal, opt_.archive + ": read error; left unchanged");
        return false;
      }
      if (check && offset + n > data_start) {
        const std::uint64_t skip = offset < data_start ? data_start - offset : 0;
        crc = crc32_update(crc, buffer_.data() + skip, n - static_cast<std::size_t>(skip));
      }
      if (!out_->write(buffer_.data(), n)) {
        st_.report(exit_code::write_error, opt_.archive + ": write error; left unchanged");
        return false;
      }
      offset += n;
    }
    if (check && crc != *b.data_crc) {
      refuse("it is damaged: checksum error in " + printable(b.name));
      return false;
    }
  }
  return true;
}

bool update::add_item(const source_item& item, rar5::writer& writer, bool& failed_source) {
  rar5::entry_info info;
  info.name = item.name;
  info.directory = item.directory;
  info.size = item.size;
  info.mode = item.mode;
  info.mtime_sec = item.mtime_sec;
  info.mtime_nsec = item.mtime_nsec;
  failed_source = false;
  rar5::add_status result;
  if (item.directory) {
    result = writer.add_directory(info);
  } else {
    unique_fd source(::open(item.native.c_str(), O_RDONLY | O_CLOEXEC));
    if (!source) {
      st_.report(exit_code::open_error, "cannot open " + item.native + ": " + error_text(errno));
      failed_source = true;
      return true;
    }
    int read_errno = 0;
    result = writer.add_file(info, [&](std::uint8_t* buffer, std::size_t size) -> std::int64_t {
      while (true) {
        ssize_t got = ::read(source.get(), buffer, size);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) read_errno = errno;
        return got;
      }
    });
    if (result == rar5::add_status::read_error || result == rar5::add_status::size_changed) {
      st_.report(exit_code::open_error,
                 item.native + ": " +
                     (result == rar5::add_status::read_error ? "read error: " + error_text(read_errno)
                                                             : std::string("changed while it was read")) +
                     ", not added");
      failed_source = true;
      return true;
    }
  }
  if (result == rar5::add_status::bad_name) {
    st_.report(exit_code::warning, item.native + ": the name cannot be stored in the archive, skipped");
    failed_source = true;
    return true;
  }
  if (result == rar5::add_status::write_error) {
    st_.report(exit_code::write_error, opt_.archive + ": write error; left unchanged");
    return false;
  }
  return true;
}

void update::run() {
  struct stat existing;
  const bool exists = ::stat(native_.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) {
    st_.report(exit_code::create_error, "cannot create " + opt_.archive + ": it is not a file");
    return;
  }
  std::optional<file_identity> self;
  if (exists) self = file_identity{existing.st_dev, existing.st_ino};
  const std::vector<source_item> items = collect_sources(opt_.masks, opt_.recurse, opt_.inner_path, self, st_);
  if (items.empty()) {
    st_.report(exit_code::no_files, opt_.archive + ": no files to add");
    return;
  }
  if (exists && !read_old_archive()) return;

  temporary_archive temp;
  int error = 0;
  if (!temp.create(native_, error)) {
    st_.report(exit_code::create_error, "cannot create " + opt_.archive + ": " + error_text(error));
    return;
  }
  if (exists) ::fchmod(temp.fd(), existing.st_mode & 07777);
  file_output out(temp.fd());
  out_ = &out;
  rar5::writer writer(out);
  if (!writer.begin(plan_.main_extra)) {
    st_.report(exit_code::write_error, opt_.archive + ": write error: " + error_text(out.error()));
    return;
  }
  std::unordered_map<std::string, std::size_t> replaced;  // lower-cased name -> old group
  for (const auto& item : items) replaced.emplace(api32::text::lower(item.name), SIZE_MAX);
  for (std::size_t g = 0; g < plan_.groups.size(); ++g) {
    const block_group& group = plan_.groups[g];
    if (group.file) {
      auto it = replaced.find(api32::text::lower(group.name));
      if (it != replaced.end()) {
        it->second = g;  // written again only if its replacement fails
        continue;
      }
    }
    if (!copy_group(group)) return;
  }
  for (const auto& item : items) {
    bool failed_source = false;
    if (!add_item(item, writer, failed_source)) return;
    if (failed_source) {
      // keep the entry the archive had under that name
      std::size_t old_group = replaced[api32::text::lower(item.name)];
      if (old_group != SIZE_MAX && !copy_group(plan_.groups[old_group])) return;
    }
  }
  if (!writer.finish()) {
    st_.report(exit_code::write_error, opt_.archive + ": write error: " + error_text(out.error()));
    return;
  }
  if (!temp.install(native_, error)) {
    st_.report(error == ENOSPC || error == EIO || error == EDQUOT ? exit_code::write_error : exit_code::create_error,
               "cannot write " + opt_.archive + ": " + error_text(error));
  }
}

}  // namespace

void run_add(const options& opt, status& st) {
  auto native = archive_native_path(opt.archive, true);
  if (!native || native->empty() || native->back() == '/') {
    st.report(exit_code::create_error, "cannot create " + opt.archive + ": not a file name");
    return;
  }
  update(opt, st, *native).run();
}

}  // namespace rartool
