// desktop_dialog_open.cpp - GetOpenFileNameA and CommDlgExtendedError: the argument block read as Windows
// reads it, the choice written back in the Win32 multi-select form.
#include <algorithm>
#include <mutex>

#include "api32/desktop_win32/desktop_dialog.hpp"
#include "api32/desktop_win32/window.hpp"
#include "api32/runtime/text.hpp"
#include "api32/win32/memory.hpp"
#include "api32/win32/paths.hpp"

namespace api32::win32 {
namespace {

thread_local DWORD last_dialog_error = 0;

std::mutex chooser_mutex;

std::shared_ptr<file_chooser>& chooser_slot() {
  static std::shared_ptr<file_chooser> slot;  // null: the GTK dialog, made when first needed
  return slot;
}

std::shared_ptr<file_chooser> current_chooser() {
  std::lock_guard lock(chooser_mutex);
  if (!chooser_slot()) chooser_slot() = make_gtk_file_chooser();
  return chooser_slot();
}

BOOL fail(DWORD code) {
  last_dialog_error = code;
  return FALSE_;
}

// The whole content of a block; false when the address is not a live block.
bool block_bytes(HLOCAL address, std::string& out) {
  out.assign(LocalSize(address), '\0');
  return read_local_block(address, 0, out.data(), out.size());
}

// The NUL-terminated texts of a block, in order, up to the first empty one; the end of the block ends the
// last text and the list, so a block without its terminating NULs is never read past.
std::vector<std::string> block_texts(const std::string& bytes) {
  std::vector<std::string> texts;
  std::size_t at = 0;
  while (at < bytes.size()) {
    std::size_t end = std::min(bytes.find('\0', at), bytes.size());
    if (end == at) break;
    texts.push_back(bytes.substr(at, end - at));
    at = end + 1;
  }
  return texts;
}

// Description/pattern pairs; a description left without its pattern is dropped. GTK needs valid UTF-8.
std::vector<file_type_filter> decode_filters(const std::string& bytes) {
  std::vector<std::string> texts = block_texts(bytes);
  std::vector<file_type_filter> filters;
  for (std::size_t i = 0; i + 1 < texts.size(); i += 2) {
    file_type_filter f;
    f.name = text::make_valid_utf8(texts[i]);
    std::string_view list = texts[i + 1];
    while (!list.empty()) {
      std::size_t semicolon = std::min(list.find(';'), list.size());
      std::string pattern = text::trim(list.substr(0, semicolon), true);
      if (!pattern.empty()) f.patterns.push_back(pattern);
      list.remove_prefix(std::min(semicolon + 1, list.size()));
    }
    filters.push_back(std::move(f));
  }
  return filters;
}

bool is_block(HLOCAL address) {
  char none = 0;
  return read_local_block(address, 0, &none, 0);
}

std::string first_text(const std::string& bytes) { return bytes.substr(0, std::min(bytes.find('\0'), bytes.size())); }

std::size_t common_folder_length(const std::vector<std::string>& paths) {
  // Length of the longest folder prefix ending in "/" that every path shares.
  std::string_view first = paths.front();
  std::size_t common = first.rfind('/') + 1;
  for (const std::string& p : paths) {
    std::size_t n = std::min(common, p.rfind('/') + 1);
    std::size_t i = 0;
    while (i < n && first[i] == p[i]) ++i;
    common = first.rfind('/', i == 0 ? 0 : i - 1) + 1;
  }
  return common;
}

std::string windows_relative(std::string_view native_relative) {
  std::string out(native_relative);
  std::replace(out.begin(), out.end(), '/', '\\');
  return out;
}

}  // namespace

bool filter_matches(const file_type_filter& filter, std::string_view file_name) {
  return std::any_of(filter.patterns.begin(), filter.patterns.end(),
                     [&](const std::string& pattern) { return wildcard_match(pattern, file_name); });
}

std::string open_file_result(const std::vector<std::string>& native_paths) {
  std::string block;
  if (native_paths.empty()) return block;
  if (native_paths.size() == 1) {
    block = to_windows_path(native_paths.front());
    block.append(2, '\0');
    return block;
  }
  std::size_t common = common_folder_length(native_paths);
  std::string folder = native_paths.front().substr(0, common);
  if (folder.size() > 1) folder.pop_back();  // "/tmp/x/" -> "/tmp/x"; "/" stays the root
  block = to_windows_path(folder);
  block.push_back('\0');
  for (const std::string& p : native_paths) {
    block += windows_relative(std::string_view(p).substr(common));
    block.push_back('\0');
  }
  block.push_back('\0');
  return block;
}

std::shared_ptr<file_chooser> set_file_chooser(std::shared_ptr<file_chooser> chooser) {
  std::lock_guard lock(chooser_mutex);
  std::swap(chooser_slot(), chooser);
  return chooser;
}

DWORD CommDlgExtendedError() { return last_dialog_error; }

BOOL GetOpenFileNameA(OPENFILENAMEA* ofn) {
  last_dialog_error = 0;
  if (ofn == nullptr || ofn->lstructsize != OPENFILENAME_SIZE) return fail(CDERR_STRUCTSIZE);

  open_file_request request;
  std::string bytes;
  if (ofn->lpstrtitle != 0) {
    if (!block_bytes(ofn->lpstrtitle, bytes)) return fail(CDERR_INITIALIZATION);
    request.title = text::make_valid_utf8(first_text(bytes));
  }
  if (request.title.empty()) request.title = "Open";
  if (ofn->lpstrfilter != 0) {
    if (!block_bytes(ofn->lpstrfilter, bytes)) return fail(CDERR_INITIALIZATION);
    request.filters = decode_filters(bytes);
  }
  // nfilterindex is 1-based; 0 (the custom filter, which is not supported) and values past the list pick the
  // first pair.
  if (ofn->nfilterindex >= 1 && ofn->nfilterindex <= request.filters.size())
    request.filter_index = ofn->nfilterindex - 1;
  if (ofn->lpstrinitialdir != 0) {
    if (!block_bytes(ofn->lpstrinitialdir, bytes)) return fail(CDERR_INITIALIZATION);
    std::string folder = first_text(bytes);
    if (!folder.empty()) request.initial_folder = to_native_path(folder).value_or("");
  }
  if (!is_block(ofn->lpstrfile)) return fail(CDERR_INITIALIZATION);
  // never past the block, whatever nmaxfile says
  std::size_t capacity = std::min<std::size_t>(LocalSize(ofn->lpstrfile), ofn->nmaxfile);
  if (ofn->hwndowner != 0) {
    if (window::from_handle(ofn->hwndowner, true) == nullptr) return fail(CDERR_DIALOGFAILURE);
    request.owner = ofn->hwndowner;
  }
  request.allow_multiple = (ofn->flags & OFN_ALLOWMULTISELECT) != 0;
  request.file_must_exist = (ofn->flags & (OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST)) != 0;

  open_file_choice choice = current_chooser()->choose(request);
  if (choice.result == open_file_choice::outcome::failed) return fail(CDERR_DIALOGFAILURE);
  if (choice.result == open_file_choice::outcome::cancelled || choice.native_paths.empty()) return FALSE_;

  std::string result = open_file_result(choice.native_paths);
  if (result.size() > capacity) {
    // Windows puts the size needed in the first two bytes of the block.
    if (capacity >= 2) {
      std::uint16_t needed = static_cast<std::uint16_t>(std::min<std::size_t>(result.size(), 0xFFFF));
      const char size_bytes[2] = {static_cast<char>(needed & 0xFF), static_cast<char>(needed >> 8)};
      write_local_block(ofn->lpstrfile, 0, size_bytes, 2);
    }
    return fail(FNERR_BUFFERTOOSMALL);
  }
  write_local_block(ofn->lpstrfile, 0, result.data(), result.size());
  if (choice.native_paths.size() == 1) {
    std::string_view path(result.data(), result.size() - 2);
    std::size_t name = path.rfind('\\') + 1;  // 0 when there is no "\"
    std::size_t point = path.rfind('.');
    ofn->nfileoffset = static_cast<std::int16_t>(name);
    // without an extension Windows points at the terminating NUL
    ofn->nfileextension =
        static_cast<std::int16_t>(point != std::string_view::npos && point >= name ? point + 1 : path.size());
  } else {
    ofn->nfileoffset = static_cast<std::int16_t>(result.find('\0') + 1);
    ofn->nfileextension = 0;
  }
  return TRUE_;
}

}  // namespace api32::win32
