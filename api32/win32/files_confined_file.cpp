// files_confined_file.cpp - writing a confined file, and putting it (or a partial download) into place by
// descriptor.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

#include "api32/win32/files_confined.hpp"
#include "api32/win32/files_confined_internal.hpp"

namespace api32::win32 {
namespace {

// "pack.zip" -> {"pack", ".zip"}; a name that starts with its only point has no extension.
std::pair<std::string, std::string> split_extension(const std::string& name) {
  const auto point = name.rfind('.');
  if (point == std::string::npos || point == 0 || name.size() - point > 16) return {name, ""};
  return {name.substr(0, point), name.substr(point)};
}

// Renames inside one folder without ever replacing: renameat2 where the file system has it, else a hard
// link (which fails on an existing name) and the removal of the old name.
bool rename_no_replace(int folder, const std::string& from, const std::string& to, int& error) {
  if (::renameat2(folder, from.c_str(), folder, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  error = errno;
  if (error != EINVAL && error != ENOSYS) return false;
  if (::linkat(folder, from.c_str(), folder, to.c_str(), 0) != 0) {
    error = errno;
    return false;
  }
  ::unlinkat(folder, from.c_str(), 0);
  return true;
}

}  // namespace

confined_file::confined_file(confined_folder& owner, unique_fd folder, std::vector<std::string> folder_path,
                             std::string temp, std::string final_name, unique_fd file, unique_fd replaced)
    : owner_(owner),
      folder_(std::move(folder)),
      folder_path_(std::move(folder_path)),
      temp_(std::move(temp)),
      final_(std::move(final_name)),
      file_(std::move(file)),
      replaced_(std::move(replaced)) {
  for (const auto& part : folder_path_) shown_ += part + "/";
  shown_ += final_;
}

confined_file::~confined_file() { abort(); }

void confined_file::abort() {
  if (done_) return;
  done_ = true;
  file_.close();
  replaced_.close();
  ::unlinkat(folder_.get(), temp_.c_str(), 0);  // by descriptor: wherever the folder went meanwhile
}

confined_outcome confined_file::write(const std::uint8_t* data, std::size_t size) {
  if (done_) return {confined_result::failed, EBADF, shown_};
  if (!owner_.charge(size)) return {confined_result::over_budget, EFBIG, shown_};
  if (!write_all(file_.get(), data, size)) return {confined_result::failed, errno, shown_};
  written_ += size;
  confined_detail::after_block(shown_, written_);
  return {};
}

confined_outcome confined_file::extend_to(std::uint64_t length) {
  if (done_) return {confined_result::failed, EBADF, shown_};
  if (length <= written_) return {};
  if (length > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()))
    return {confined_result::failed, EFBIG, shown_};
  if (!owner_.charge(length - written_)) return {confined_result::over_budget, EFBIG, shown_};
  if (::ftruncate(file_.get(), static_cast<off_t>(length)) != 0 || ::lseek(file_.get(), 0, SEEK_END) < 0)
    return {confined_result::failed, errno, shown_};
  written_ = length;
  return {};
}

confined_outcome confined_file::commit(std::optional<struct timespec> modified) {
  if (done_) return {confined_result::failed, EBADF, shown_};
  if (modified) {
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_NOW;
    times[1] = *modified;
    ::futimens(file_.get(), times);  // a time the file system refuses is no reason to lose the file
  }
  if (!file_.close()) {
    confined_outcome failed{confined_result::failed, errno, shown_};
    abort();
    return failed;
  }
  // The folder must still be the one reached below the base: one swapped for a link (or moved away) while
  // the data were written gets nothing, and the temporary goes with the folder's descriptor.
  unique_fd now;
  std::vector<std::string> real;
  confined_outcome reached = owner_.walk(folder_path_, folder_path_.size(), false, now, real);
  struct stat then_st, now_st;
  if (reached && (::fstat(now.get(), &now_st) != 0 || ::fstat(folder_.get(), &then_st) != 0 ||
                  now_st.st_dev != then_st.st_dev || now_st.st_ino != then_st.st_ino))
    reached = {confined_result::link_in_the_way, ELOOP, shown_};
  if (!reached) {
    if (reached.result != confined_result::link_in_the_way) reached = {confined_result::link_in_the_way, ELOOP, {}};
    reached.detail = shown_;
    abort();
    return reached;
  }
  if (::renameat(folder_.get(), temp_.c_str(), folder_.get(), final_.c_str()) != 0) {
    confined_outcome failed{confined_result::failed, errno, shown_};
    abort();
    return failed;
  }
  done_ = true;
  replaced_.close();
  std::string key;
  for (const auto& part : folder_path_) key += "/" + part;
  owner_.remember(key, final_);
  return {};
}

confined_outcome copy_into(int source, confined_folder& to, const std::vector<std::string>& components) {
  std::unique_ptr<confined_file> file;
  if (auto started = to.create_file(components, existing_target::replace, 0666, file); !started) return started;
  std::vector<std::uint8_t> buffer(1 << 16);
  while (true) {
    ssize_t got = ::read(source, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return {confined_result::failed, errno, file->shown_name()};
    if (got == 0) break;
    if (auto written = file->write(buffer.data(), static_cast<std::size_t>(got)); !written) return written;
  }
  return file->commit();
}

std::optional<std::string> confined_folder::create_partial(const std::string& name, confined_outcome& outcome) {
  if (!confined_detail::valid_component(name)) {
    outcome = {confined_result::unsafe_name, EINVAL, name};
    return std::nullopt;
  }
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::string partial = "." + name + "." + confined_detail::temporary_name().substr(7, 6) + ".part";
    unique_fd fd(::openat(base_.get(), partial.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (fd) {
      outcome = {};
      return partial;
    }
    if (errno != EEXIST) break;
  }
  outcome = {confined_result::failed, errno, name};
  return std::nullopt;
}

std::optional<std::string> confined_folder::move_in_without_replacing(const std::string& from, const std::string& name,
                                                                      confined_outcome& outcome) {
  if (!confined_detail::valid_component(from) || !confined_detail::valid_component(name)) {
    outcome = {confined_result::unsafe_name, EINVAL, name};
    return std::nullopt;
  }
  const auto [stem, extension] = split_extension(name);
  for (int n = 0; n < 1000; ++n) {
    std::string candidate = n == 0 ? name : stem + " (" + std::to_string(n) + ")" + extension;
    int error = 0;
    if (rename_no_replace(base_.get(), from, candidate, error)) {
      outcome = {};
      remember("", candidate);
      return candidate;
    }
    if (error != EEXIST) {
      outcome = {confined_result::failed, error, candidate};
      return std::nullopt;
    }
  }
  outcome = {confined_result::exists, EEXIST, name};
  return std::nullopt;
}

}  // namespace api32::win32
