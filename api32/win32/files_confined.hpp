// files_confined.hpp - the one door to the disk for every file whose name came from an archive or a server.
//
// A confined_folder opens its base folder once and reaches everything below it through descriptors: each
// further component is opened with openat2(RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS)
// where the kernel has it, else with openat(O_NOFOLLOW | O_DIRECTORY), so no symbolic link below the base is
// ever followed and no name leaves it. Existing names are matched without regard to case, as on Windows, so
// "Data/a.txt" lands in an existing "data" folder. Missing folders are made with mkdirat.
//
// A file is written under a temporary name in its final folder's descriptor and renamed into place there
// only once it is whole; before the rename the folder is checked to still be where the walk found it, so a
// folder swapped for a link mid-write receives nothing, and the temporary is removed by descriptor whatever
// happens. A symbolic link (or a hard link) at the final name is replaced by the new file, never written
// through.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "api32/win32/files_descriptor.hpp"

namespace api32::win32 {

enum class confined_result {
  ok,
  exists,           ///< the target exists and replacing it was not asked for
  unsafe_name,      ///< a component is empty, ".", "..", or holds a separator or a NUL byte
  link_in_the_way,  ///< a symbolic link stands where a folder is needed, or a folder moved under us
  busy,             ///< the existing target cannot be replaced: write-protected or locked by another holder
  over_budget,      ///< the output limit of the folder would be passed
  failed,           ///< see error
};

struct confined_outcome {
  confined_result result = confined_result::ok;
  int error = 0;       ///< errno of the failing call (ELOOP for a link in the way, ENOSPC/EFBIG for the budget)
  std::string detail;  ///< the path below the base where it failed, for messages
  explicit operator bool() const { return result == confined_result::ok; }
};

/// A short English phrase for an outcome ("a symbolic link is in the way (Addon)", "no space left ..."),
/// for reports.
std::string describe(const confined_outcome& outcome);

class confined_folder;

/// A file being written below a confined folder; its temporary is removed unless commit() succeeds.
class confined_file {
public:
  ~confined_file();
  confined_file(const confined_file&) = delete;
  confined_file& operator=(const confined_file&) = delete;

  /// Writes all of `size` bytes, counting them against the folder's budget; the outcome says why not.
  confined_outcome write(const std::uint8_t* data, std::size_t size);
  /// Extends the file to `length` bytes with a hole (sparse data), counted against the budget.
  confined_outcome extend_to(std::uint64_t length);
  /// The temporary's descriptor (for reading back what was written; write through write()).
  int fd() const { return file_.get(); }
  /// Sets the modification time when given, closes, and renames over the target in the folder it was
  /// started in, provided that folder is still where it was; the temporary is removed on any failure.
  confined_outcome commit(std::optional<struct timespec> modified = std::nullopt);
  /// Discards the temporary now (the destructor does it too).
  void abort();
  /// The path below the base, real spelling, for messages.
  const std::string& shown_name() const { return shown_; }

private:
  friend class confined_folder;
  confined_file(confined_folder& owner, unique_fd folder, std::vector<std::string> folder_path, std::string temp,
                std::string final_name, unique_fd file, unique_fd replaced);

  confined_folder& owner_;
  unique_fd folder_;
  std::vector<std::string> folder_path_;  // real spellings below the base
  std::string temp_;
  std::string final_;
  std::string shown_;
  unique_fd file_;
  unique_fd replaced_;  // the existing target, locked until the rename
  std::uint64_t written_ = 0;
  bool done_ = false;
};

/// How a target that already exists is treated.
enum class existing_target {
  replace,          ///< any non-folder is replaced
  replace_if_free,  ///< a regular file is replaced only if it could be written and is not locked (kept locked
                    ///< until the rename); the replacement keeps its permissions
  keep,             ///< exists is reported and nothing is written
};

class confined_folder {
public:
  /// Opens the native folder `base` (created with its missing parents when `create`); the base itself is
  /// the caller's and is reached by name. nullptr with errno in `error` when it cannot be opened.
  static std::unique_ptr<confined_folder> open(const std::string& base, bool create, int& error);
  ~confined_folder();
  confined_folder(const confined_folder&) = delete;
  confined_folder& operator=(const confined_folder&) = delete;

  /// Makes the folders `components` (below the base) exist.
  confined_outcome make_folder(const std::vector<std::string>& components);
  /// Starts the file `components` (the last is the file's name): its folders are made, a temporary is
  /// created in the last one. `mode` is the new file's permissions before the umask.
  confined_outcome create_file(const std::vector<std::string>& components, existing_target existing, unsigned mode,
                               std::unique_ptr<confined_file>& file);
  /// Opens an existing regular file below the base for reading; an invalid descriptor when there is none.
  unique_fd open_file(const std::vector<std::string>& components);
  /// Removes the file (not a folder) `components` below the base; a link there is removed, not followed.
  confined_outcome remove_file(const std::vector<std::string>& components);
  /// Creates an empty file under a fresh hidden name (".name.<random>.part") in the base folder, for data that
  /// another writer delivers by path before it is moved in; its name, or nullopt with the outcome.
  std::optional<std::string> create_partial(const std::string& name, confined_outcome& outcome);
  /// The last-write time (seconds since 1970, UTC) of an existing regular file below the base; nullopt when
  /// there is none.
  std::optional<std::int64_t> modified_time(const std::vector<std::string>& components);
  /// Moves a file of the base folder (a name the caller made, such as a partial download) to `name` in the
  /// base folder without replacing anything: `name`, else "stem (1).ext", "stem (2).ext", ... The name used,
  /// or nullopt with the outcome in `outcome`.
  std::optional<std::string> move_in_without_replacing(const std::string& from, const std::string& name,
                                                       confined_outcome& outcome);

  /// Bytes the base's file system still has for this user (statvfs on the base descriptor); nullopt when
  /// the file system does not say.
  std::optional<std::uint64_t> available_bytes() const;
  /// Caps what the files written below this folder may hold together (0 = no cap); writes past it fail
  /// with over_budget.
  void set_output_limit(std::uint64_t bytes) { limit_ = bytes; }
  std::uint64_t bytes_written() const { return written_; }
  int fd() const { return base_.get(); }

private:
  friend class confined_file;
  explicit confined_folder(unique_fd base);
  // The folder holding the last of some components, and that last name as it is spelled there.
  struct parent_folder {
    unique_fd folder;
    std::vector<std::string> real;  // spellings of the folders below the base
    std::string key;                // their path, for the name cache
    std::string name;               // the last component's existing spelling (or as given)
    std::string shown;              // the whole path below the base, for messages
  };
  confined_outcome reach_parent(const std::vector<std::string>& components, bool create, parent_folder& parent);
  // Walks down to components[0..count), making missing folders when `create`; `real` gets the spellings.
  confined_outcome walk(const std::vector<std::string>& components, std::size_t count, bool create, unique_fd& folder,
                        std::vector<std::string>& real);
  // The existing spelling of `name` in `folder` (whose path is `key`), or `name` when there is none.
  std::string existing_spelling(int folder, const std::string& key, const std::string& name);
  void remember(const std::string& key, const std::string& name);
  bool charge(std::uint64_t bytes);

  unique_fd base_;
  std::uint64_t limit_ = 0;
  std::uint64_t written_ = 0;
  // per folder (its real path below the base): lower-cased name -> name on disk
  std::map<std::string, std::unordered_map<std::string, std::string>> names_;
};

/// Splits a relative name whose components are separated by "/" or "\" into its components; nullopt when a
/// component is ".." (or reads as ".." on Windows: "...", ". ."), or the name is absolute or has a drive.
/// Empty and "." components are dropped.
std::optional<std::vector<std::string>> confined_components(std::string_view name);

/// Where a file named by an archive goes: the folder the caller chose (Windows form, reached by name) and
/// the components below it that came from the archive (walked by the writer).
struct confined_target {
  std::string base;
  std::vector<std::string> components;
  std::string refusal;  ///< not empty: nothing may be written, and this is why
};
/// Splits the caller's target `filepath` (a Windows path) for the entry `entry_name`: when the path ends with
/// the entry's name (compared without regard to case), that whole name is walked below the rest, so a link
/// planted at any of its folders is met; otherwise only the file's name is walked below its folder. A path
/// that ends with a separator, or that repeats a name that climbs (".."), is refused.
confined_target split_confined_target(const std::string& filepath, const std::string& entry_name);
/// Opens the Windows folder `base` ("" = the current folder) as a confined folder, making it with its
/// missing parents; null with a reason in `error`.
std::unique_ptr<confined_folder> open_confined_base(const std::string& base, std::string& error);
/// Opens the Windows folder `base` as a confined folder only when it exists already; null otherwise.
std::unique_ptr<confined_folder> open_confined_base_existing(const std::string& base);
/// True when the file `filepath` exists as the writer reaches it: its part that repeats `entry_name` walked
/// by descriptors (a link planted on the way does not count).
bool confined_file_exists(const std::string& filepath, const std::string& entry_name);
/// Removes the file `entry_name` below the existing Windows folder `base` by descriptor; true when removed.
bool confined_remove(const std::string& base, const std::string& entry_name);
/// Copies what `source` holds from its current position into a new file `components` below `to`
/// (replacing what is there), committed only once whole.
confined_outcome copy_into(int source, confined_folder& to, const std::vector<std::string>& components);

/// True for the names of the writer's temporaries, so callers and tests can tell one left behind.
bool is_confined_temporary(std::string_view name);

/// Test switches: forces the openat walk even where the kernel has openat2, for the object's lifetime.
class scoped_descriptor_walk {
public:
  scoped_descriptor_walk();
  ~scoped_descriptor_walk();
  scoped_descriptor_walk(const scoped_descriptor_walk&) = delete;
  scoped_descriptor_walk& operator=(const scoped_descriptor_walk&) = delete;
};
/// True when components are being resolved with openat2 (the kernel has it and no test forced the walk).
bool confined_uses_openat2();

/// Test hook: called after each block a confined file receives, with the file's path below the base and
/// the bytes written so far (to swap folders mid-write deterministically). Empty = none. Not thread-safe.
void set_confined_write_hook(std::function<void(const std::string& shown_name, std::uint64_t written)> hook);

}  // namespace api32::win32
