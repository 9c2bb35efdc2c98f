// desktop_dialog.hpp - the COMDLG32 open-file dialog of the stand-in: GetOpenFileNameA and
// CommDlgExtendedError over GTK's file chooser.
//
// The caller's argument block is read as Windows reads it (title, filter pairs, filter index, flags, owner,
// initial folder; texts are ANSI, which is UTF-8 here) and the choice is written back into the result block
// in the Win32 form, with Windows paths (Z:\... for native ones). Who actually asks the user is a
// file_chooser: the GTK dialog by default, a scripted one in tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "api32/win32/last_error.hpp"
#include "api32/win32/openfilename.hpp"

namespace api32::win32 {

using OPENFILENAMEA = api32::openfilename;

inline constexpr DWORD OFN_ALLOWMULTISELECT = 0x200;
inline constexpr DWORD OFN_PATHMUSTEXIST = 0x800;
inline constexpr DWORD OFN_FILEMUSTEXIST = 0x1000;
inline constexpr DWORD OFN_EXPLORER = 0x80000;

/// The size of the 32-bit OPENFILENAMEA block (the only one accepted).
inline constexpr DWORD OPENFILENAME_SIZE = 76;

// CommDlgExtendedError codes
inline constexpr DWORD CDERR_STRUCTSIZE = 0x0001;
inline constexpr DWORD CDERR_INITIALIZATION = 0x0002;
inline constexpr DWORD CDERR_DIALOGFAILURE = 0xFFFF;
inline constexpr DWORD FNERR_BUFFERTOOSMALL = 0x3003;

/// Shows the open-file dialog. TRUE when the user chose files: the result block (lpstrfile, at most
/// nmaxfile bytes and never past the block) then holds one file as its full path and two NULs, or several
/// as the folder, NUL, each name, NUL, and a final NUL; nfileoffset and nfileextension are set as Windows
/// sets them. FALSE otherwise, with CommDlgExtendedError: 0 when the user cancelled, CDERR_STRUCTSIZE for a
/// size other than 76, CDERR_INITIALIZATION for an address that is not a live block, CDERR_DIALOGFAILURE
/// for an owner that is not a window or a dialog that cannot be shown (no display), FNERR_BUFFERTOOSMALL
/// when the choice does not fit (the first two bytes of the block then hold the size needed).
BOOL GetOpenFileNameA(OPENFILENAMEA* ofn);
/// The outcome of the calling thread's last common-dialog call; 0 after a success or a cancel.
DWORD CommDlgExtendedError();

// ---- the seam between the Win32 call and whoever asks the user

/// One entry of the dialog's file-type list: a description and its patterns (Windows wildcards).
struct file_type_filter {
  std::string name;
  std::vector<std::string> patterns;
};

/// What the dialog is asked for, decoded from the argument block.
struct open_file_request {
  std::string title;                      ///< UTF-8, never empty ("Open" when the block has none)
  std::vector<file_type_filter> filters;  ///< empty: every file is shown
  std::size_t filter_index = 0;           ///< 0-based, always a valid index when there are filters
  std::string initial_folder;             ///< native; empty leaves the choice to the chooser
  std::uint32_t owner = 0;                ///< owner window handle, 0 for none
  bool allow_multiple = false;
  bool file_must_exist = false;
};

struct open_file_choice {
  enum class outcome { chosen, cancelled, failed };
  outcome result = outcome::cancelled;
  std::vector<std::string> native_paths;  ///< absolute native paths, in the dialog's order (chosen only)
};

class file_chooser {
public:
  virtual ~file_chooser() = default;
  /// Asks the user; returns when the dialog has closed.
  virtual open_file_choice choose(const open_file_request& request) = 0;
};

/// Installs a chooser (null puts the GTK dialog back) and returns the previous one.
std::shared_ptr<file_chooser> set_file_chooser(std::shared_ptr<file_chooser> chooser);

/// The GTK dialog (GtkFileChooserDialog in open mode, modal to the owner window).
std::shared_ptr<file_chooser> make_gtk_file_chooser();

/// True when a file name matches one of the filter's patterns, without regard to case as Windows matches.
bool filter_matches(const file_type_filter& filter, std::string_view file_name);

/// The result block for a choice, without its size check: one path as its Windows path and two NULs;
/// several as their deepest common folder (Windows form), NUL, each path relative to it, NUL, and a NUL.
std::string open_file_result(const std::vector<std::string>& native_paths);

}  // namespace api32::win32
