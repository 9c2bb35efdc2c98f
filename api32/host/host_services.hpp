// host_services.hpp - the host application's objects, globals and windows that the library calls.
//
// A host installs its own values and objects in api32::host::globals() before it drives the classes; what is
// there by default is the reference host's implementation (uo_nv_core below, identity tr2, app_path = the
// running program's folder).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "api32/host/archive_progress.hpp"
#include "api32/host/extraction_report.hpp"

namespace api32 {
class uo_nv_ziplib;
}

namespace api32::host {

/// A list box of the host: the items it shows.
class listbox {
public:
  /// Appends an item and returns its position (1-based).
  std::int16_t additem(std::string item);
  std::int16_t reset();
  std::int16_t totalitems() const { return static_cast<std::int16_t>(items_.size()); }
  const std::vector<std::string>& items() const { return items_; }

private:
  std::vector<std::string> items_;
};

/// The host's core object (`gnv_core`). Methods are virtual so a host can put its own behaviour in place.
class uo_nv_core {
public:
  virtual ~uo_nv_core() = default;
  /// Every occurrence of `as_old` replaced by `as_new`, left to right; inserted text is never searched
  /// again; an empty `as_old` returns the text unchanged.
  virtual std::string of_globalreplace(std::string as_source, std::string as_old, std::string as_new);
  /// Creates the folder `as_base` + `as_sub` with every missing parent: 1, or -1 when it cannot be made.
  virtual std::int16_t of_createpath(std::string as_base, std::string as_sub);
  /// Fills `lb_file` with the files and `lb_dirfile` with the sub-folders of `as_path` whose names match
  /// `as_mask` (Windows wildcards, without regard to case), recursively when `ab_recursive`. Items are the
  /// paths below `as_path`, each prefixed with `as_prefix`, sub-folders ending with "\". The boxes are
  /// emptied first. Returns the number of files, or -1 when `as_path` is not a folder.
  virtual std::int16_t of_directoryadd(std::string as_path, std::string as_prefix, listbox& lb_file,
                                       listbox& lb_dirfile, std::string as_mask, bool ab_recursive);
};

/// The host window `w_addon_create`, as far as the library uses it: its two list boxes.
struct addon_create_window {
  listbox lb_file;
  listbox lb_dirfile;
};

/// What the download window reports to the host about a file it saves.
struct download_event {
  enum class kind { started, progress, finished, failed };
  kind what = kind::started;
  std::string url;             ///< the address downloaded
  std::string file;            ///< Windows path: the name meant while running, the final one when finished
  std::uint64_t received = 0;  ///< bytes received so far
  std::uint64_t expected = 0;  ///< the size the server announced; 0 when it did not say
  std::string error;           ///< why it failed
};

struct services {
  std::shared_ptr<uo_nv_core> gnv_core = std::make_shared<uo_nv_core>();
  /// The host's zip library object; a host creates it before the first archive call.
  std::shared_ptr<api32::uo_nv_ziplib> gziplib;
  /// The application folder in Windows form, ending with "\".
  std::string app_path;
  std::string app_addon_url;
  std::string game_name;
  /// The host's translation function; identity unless a translation table is installed.
  std::function<std::string(const std::string&)> tr2 = [](const std::string& s) { return s; };
  addon_create_window w_addon_create;
  /// Folder (Windows form) into which the download window saves files; "" = the user's download folder.
  std::string download_folder;
  /// Receives the download window's reports (started, progress at most every 100 ms, finished or failed);
  /// empty = nobody listens.
  std::function<void(const download_event&)> download_progress;
  /// Bytes one whole-archive extraction may write in all (its entries' declared sizes are checked before
  /// anything is written, and what is written is counted); 0 = no limit.
  std::uint64_t extraction_limit = 0;
  /// Receives every entry a whole-archive extraction did not write, with the reason; empty = nobody listens.
  std::function<void(const skipped_entry&)> entry_not_extracted;
  /// What extraction does with a file already where an entry goes (extraction_report.hpp).
  existing_file_policy existing_files = existing_file_policy::replace;
  /// Receives progress of whole-archive extraction, of adding files and of testing archives, at most five
  /// times a second (archive_progress.hpp); empty = nobody listens.
  std::function<void(const progress_report&)> archive_progress;
};

/// The process's host services.
services& globals();

/// The running program's folder in Windows form, ending with "\".
std::string running_program_folder();

/// Installs a translation table as `tr2`: texts found in it are translated, others come back unchanged.
void set_translation_table(std::map<std::string, std::string> table);

}  // namespace api32::host
