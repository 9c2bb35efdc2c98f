// registry.hpp - read-only default values of registry keys.
//
// Sources, first match wins:
//  1. .reg files (REGEDIT4 or "Windows Registry Editor Version 5.00", ANSI, UTF-8 or UTF-16LE) loaded by the
//     host with load_reg_file, or named by the API32_REGISTRY environment variable (several separated by ':');
//  2. HKEY_CLASSES_ROOT answered from the desktop's content types (shared-mime-info through GIO):
//     "HKEY_CLASSES_ROOT\.txt" -> "text/plain", "HKEY_CLASSES_ROOT\text/plain" -> its description,
//     "HKEY_CLASSES_ROOT\text/plain\shell\open\command" -> the default application's command line.
//     An extension the content types do not know reads as missing.
// Key names compare without regard to case, as the registry's do. The latest answers are cached (at most
// cached_answers_limit keys, so memory does not grow with every extension a host ever lists).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace api32::registry {

/// The default ("@") value of a key, or nullopt when the key or its default value is missing.
/// Root names may be written in full or short (HKCR, HKLM, HKCU, HKU).
std::optional<std::string> default_value(std::string_view key);

struct load_result {
  bool loaded = false;              ///< the file was read (even if some lines had errors)
  std::size_t keys = 0;             ///< keys with at least one value
  std::vector<std::string> errors;  ///< "file:line: message" for every line that could not be used
};

/// Loads a .reg file as a source in front of the earlier ones; lines with errors are reported and skipped,
/// the rest of the file still loads. Clears the cache.
load_result load_reg_file(const std::string& native_path);
/// The same for .reg text in memory (the name is used in error messages).
load_result load_reg_text(std::string_view text, const std::string& name = "<text>");
/// Forgets every loaded file (the API32_REGISTRY files are loaded again on the next lookup) and the cache.
void reset();
/// Whether the content-type source is consulted (on by default); tests turn it off for determinism.
void use_content_types(bool on);
/// Number of lookups that reached a source (not the cache), for tests of the cache.
std::size_t uncached_lookups();
/// The cache keeps the answers of this many keys, the most recently used ones.
constexpr std::size_t cached_answers_limit = 1024;
/// Number of answers the cache holds now.
std::size_t cached_answers();

/// Normalises a key name: short root names expanded, "/" kept, repeated "\" collapsed, upper-cased root.
std::string normalise_key(std::string_view key);

}  // namespace api32::registry
