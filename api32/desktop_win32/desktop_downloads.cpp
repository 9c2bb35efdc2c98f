// desktop_downloads.cpp - download folder, names and the no-replace move of finished downloads.
#include "api32/desktop_win32/desktop_downloads.hpp"

#include <errno.h>
#include <fcntl.h>
#include <glib.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "api32/win32/files_confined.hpp"
#include "api32/win32/last_error.hpp"
#include "api32/win32/paths.hpp"

namespace api32::win32 {
namespace {

constexpr std::size_t max_name_bytes = 200;  // room below NAME_MAX for " (n)" and the partial file's decoration
constexpr std::size_t max_extension_bytes = 16;

// The longest prefix of `text` of at most `limit` bytes that ends on a character boundary.
std::string utf8_prefix(const std::string& text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

// "pack.zip" -> {"pack", ".zip"}; a name that starts with its only point has no extension.
std::pair<std::string, std::string> split_extension(const std::string& name) {
  const auto point = name.rfind('.');
  if (point == std::string::npos || point == 0 || name.size() - point > max_extension_bytes) return {name, ""};
  return {name.substr(0, point), name.substr(point)};
}

// The download folder through the confined writer: the partial file and the final name are handled by its
// descriptor, never through a link.
std::unique_ptr<confined_folder> open_folder(const std::string& folder) {
  int error = 0;
  auto opened = confined_folder::open(folder, false, error);
  if (!opened) SetLastError(error_from_errno(error));
  return opened;
}

std::string base_name(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::optional<std::string> prepare_download_folder(std::string_view windows_folder) {
  std::string folder;
  if (windows_folder.empty()) {
    const char* special = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD);
    folder = special ? special : std::string(g_get_home_dir()) + "/Downloads";
  } else {
    auto native = to_native_path(windows_folder);
    if (!native) return std::nullopt;
    folder = *native;
  }
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (g_mkdir_with_parents(folder.c_str(), 0755) != 0) {
    set_last_error_from_errno();
    return std::nullopt;
  }
  struct stat st;
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_DIRECTORY);
    return std::nullopt;
  }
  return folder;
}

std::string safe_download_name(std::string_view suggested) {
  const auto separator = suggested.find_last_of("/\\");
  std::string_view last = separator == std::string_view::npos ? suggested : suggested.substr(separator + 1);
  std::string name;
  for (char c : last) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F && c != '"') name += c;  // no Windows file name holds a quotation mark
  }
  const auto first = name.find_first_not_of('.');
  name.erase(0, first == std::string::npos ? name.size() : first);
  gchar* valid = g_utf8_make_valid(name.data(), static_cast<gssize>(name.size()));
  name = valid;
  g_free(valid);
  if (name.size() > max_name_bytes) {
    auto [stem, extension] = split_extension(name);
    name = utf8_prefix(stem, max_name_bytes - extension.size()) + extension;
  }
  return name.empty() ? "download" : name;
}

std::optional<std::string> create_partial_file(const std::string& folder, const std::string& name) {
  auto opened = open_folder(folder);
  if (!opened) return std::nullopt;
  confined_outcome outcome;
  auto partial = opened->create_partial(name, outcome);
  if (!partial) {
    SetLastError(error_from_errno(outcome.error));
    return std::nullopt;
  }
  return folder + "/" + *partial;
}

std::optional<std::string> commit_download(const std::string& partial, const std::string& folder,
                                           const std::string& name) {
  auto opened = open_folder(folder);
  if (!opened) return std::nullopt;
  confined_outcome outcome;
  auto final_name = opened->move_in_without_replacing(base_name(partial), name, outcome);
  if (!final_name) {
    SetLastError(outcome.result == confined_result::exists ? ERROR_FILE_EXISTS : error_from_errno(outcome.error));
    return std::nullopt;
  }
  return folder + "/" + *final_name;
}

bool remove_partial_file(const std::string& path) {
  const auto slash = path.rfind('/');
  auto opened = open_folder(slash == std::string::npos ? std::string(".") : path.substr(0, slash));
  if (!opened) return errno == ENOENT;
  const std::string name = base_name(path);
  // The engine writes into "<destination>.wkdownload" first and normally removes it itself.
  bool gone = true;
  for (const std::string& file : {name, name + ".wkdownload"}) {
    auto removed = opened->remove_file({file});
    gone = (removed || removed.error == ENOENT) && gone;
  }
  return gone;
}

}  // namespace api32::win32
