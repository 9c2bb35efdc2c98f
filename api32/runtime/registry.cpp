// registry.cpp - .reg file parsing, the GIO content-type source and the lookup cache.
#include "api32/runtime/registry.hpp"

#include <gio/gio.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <unordered_map>

#include "api32/runtime/text.hpp"

namespace api32::registry {
namespace {

struct source {
  std::string name;
  // lower-cased normalised key -> default value; a key present without a default value maps to nullopt.
  // Ordered, so that a key's subkeys ("key\...") lie next to each other and a deletion removes them as a range.
  std::map<std::string, std::optional<std::string>> keys;
};

// The answers of the latest lookups, the least recently used dropped first: a listing asks about every
// extension it meets, and a long-running host must not grow with everything it ever listed.
class answer_cache {
public:
  explicit answer_cache(std::size_t capacity) : capacity_(capacity) {}

  const std::optional<std::string>* find(const std::string& key) {
    auto it = index_.find(key);
    if (it == index_.end()) return nullptr;
    order_.splice(order_.begin(), order_, it->second);  // now the most recent
    return &it->second->second;
  }
  void put(const std::string& key, std::optional<std::string> answer) {
    if (capacity_ == 0 || index_.count(key)) return;
    if (index_.size() >= capacity_) {
      index_.erase(order_.back().first);
      order_.pop_back();
    }
    order_.emplace_front(key, std::move(answer));
    index_.emplace(key, order_.begin());
  }
  void clear() {
    index_.clear();
    order_.clear();
  }
  std::size_t size() const { return index_.size(); }

private:
  using entry = std::pair<std::string, std::optional<std::string>>;
  std::size_t capacity_;
  std::list<entry> order_;  // most recent first
  std::unordered_map<std::string, std::list<entry>::iterator> index_;
};

struct state {
  std::mutex mutex;
  std::vector<std::shared_ptr<source>> sources;  // front wins
  bool environment_loaded = false;
  bool content_types = true;
  answer_cache cache{cached_answers_limit};
  std::size_t uncached = 0;
  std::unique_ptr<std::set<std::string>> registered_types;
};

state& registry_state() {
  static state* s = new state();  // lives to the end of the process: lookups may come from static destructors
  return *s;
}

std::string lower_ascii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// ---- text decoding of .reg files

std::string utf16le_to_utf8(std::string_view bytes) {
  gsize written = 0;
  GError* error = nullptr;
  gchar* converted = g_convert(bytes.data(), static_cast<gssize>(bytes.size() & ~std::size_t{1}), "UTF-8", "UTF-16LE",
                               nullptr, &written, &error);
  if (!converted) {
    g_clear_error(&error);
    return {};
  }
  std::string out(converted, written);
  g_free(converted);
  return out;
}

std::string decode_file_text(std::string_view raw) {
  if (raw.size() >= 2 && static_cast<unsigned char>(raw[0]) == 0xFF && static_cast<unsigned char>(raw[1]) == 0xFE)
    return utf16le_to_utf8(raw.substr(2));
  if (raw.size() >= 3 && raw.substr(0, 3) == "\xEF\xBB\xBF") raw.remove_prefix(3);
  if (text::is_valid_utf8(raw)) return std::string(raw);
  return text::from_cp1252(raw);
}

// ---- value parsing

// Parses a quoted string starting at s[i] == '"'; returns false when it is not terminated.
bool parse_quoted(std::string_view s, std::size_t& i, std::string& out) {
  ++i;
  while (i < s.size()) {
    char c = s[i];
    if (c == '\\' && i + 1 < s.size()) {
      out.push_back(s[i + 1]);
      i += 2;
      continue;
    }
    if (c == '"') {
      ++i;
      return true;
    }
    out.push_back(c);
    ++i;
  }
  return false;
}

bool parse_hex_bytes(std::string_view s, std::string& out) {
  std::size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == ',')) ++i;
    if (i >= s.size()) break;
    if (i + 1 >= s.size() || !g_ascii_isxdigit(s[i]) || !g_ascii_isxdigit(s[i + 1])) return false;
    out.push_back(static_cast<char>(g_ascii_xdigit_value(s[i]) * 16 + g_ascii_xdigit_value(s[i + 1])));
    i += 2;
    if (i < s.size() && s[i] != ',' && s[i] != ' ' && s[i] != '\t') return false;
  }
  return true;
}

// Parses the data after '='. Returns false for a syntax error; `deleted` for "-".
bool parse_data(std::string_view data, bool unicode_file, std::optional<std::string>& value, bool& deleted,
                std::string& why) {
  data = std::string_view(data.data(), data.size());
  while (!data.empty() && (data.front() == ' ' || data.front() == '\t')) data.remove_prefix(1);
  while (!data.empty() && (data.back() == ' ' || data.back() == '\t')) data.remove_suffix(1);
  deleted = false;
  if (data == "-") {
    deleted = true;
    return true;
  }
  if (!data.empty() && data.front() == '"') {
    std::size_t i = 0;
    std::string out;
    if (!parse_quoted(data, i, out)) {
      why = "unterminated string";
      return false;
    }
    std::string_view rest = data.substr(i);
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
    if (!rest.empty() && rest.front() != ';') {
      why = "text after the string";
      return false;
    }
    value = out;
    return true;
  }
  std::string lowered = lower_ascii(data.substr(0, std::min<std::size_t>(data.size(), 16)));
  if (lowered.rfind("dword:", 0) == 0) {
    std::string_view digits = data.substr(6);
    if (digits.empty() || digits.size() > 8) {
      why = "bad dword";
      return false;
    }
    std::uint32_t number = 0;
    for (char c : digits) {
      if (!g_ascii_isxdigit(c)) {
        why = "bad dword";
        return false;
      }
      number = number * 16 + static_cast<std::uint32_t>(g_ascii_xdigit_value(c));
    }
    value = std::to_string(number);
    return true;
  }
  if (lowered.rfind("hex", 0) == 0) {
    std::size_t colon = data.find(':');
    if (colon == std::string_view::npos) {
      why = "bad hex value";
      return false;
    }
    std::string kind = lowered.substr(0, std::min(colon, lowered.size()));
    std::string bytes;
    if (!parse_hex_bytes(data.substr(colon + 1), bytes)) {
      why = "bad hex bytes";
      return false;
    }
    if (kind == "hex(2)" || kind == "hex(1)" || kind == "hex(7)") {  // expandable / plain / multi text
      std::string textual = unicode_file ? utf16le_to_utf8(bytes) : text::from_cp1252(bytes);
      if (auto nul = textual.find('\0'); nul != std::string::npos) textual.resize(nul);
      value = textual;
    } else {
      value = bytes;
    }
    return true;
  }
  why = "unknown value type";
  return false;
}

void parse_into(source& target, std::string_view raw, const std::string& name, load_result& result) {
  std::string content = decode_file_text(raw);
  bool unicode_file = false;
  std::istringstream in(content);
  std::string line;
  std::size_t line_number = 0;
  std::string current;  // lower-cased normalised key of the current section, "" outside one
  bool header_seen = false;
  bool in_section = false;
  auto error = [&](std::size_t at, const std::string& message) {
    result.errors.push_back(name + ":" + std::to_string(at) + ": " + message);
  };
  while (std::getline(in, line)) {
    ++line_number;
    std::size_t first_line = line_number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // A hex value may continue on the next lines after a trailing backslash. Only the end of the joined line
    // is looked at for each continuation, so a value of many lines costs its length, not its length squared.
    if (lower_ascii(line).find("=hex") != std::string::npos) {
      auto ends_continued = [](std::string& l) {
        std::size_t end = l.size();
        while (end > 0 && std::isspace(static_cast<unsigned char>(l[end - 1]))) --end;
        if (end == 0 || l[end - 1] != '\\') return false;
        l.resize(end - 1);
        return true;
      };
      std::string next;
      while (ends_continued(line)) {
        if (!std::getline(in, next)) break;
        ++line_number;
        if (!next.empty() && next.back() == '\r') next.pop_back();
        line += text::trim(next, true);
      }
    }
    std::string trimmed = text::trim(line, true);
    if (trimmed.empty() || trimmed.front() == ';') continue;
    if (!header_seen) {
      header_seen = true;
      if (trimmed == "REGEDIT4") continue;
      if (trimmed == "Windows Registry Editor Version 5.00") {
        unicode_file = true;
        continue;
      }
      error(first_line, "missing header (REGEDIT4 or Windows Registry Editor Version 5.00)");
    }
    if (trimmed.front() == '[') {
      if (trimmed.back() != ']' || trimmed.size() < 3) {
        error(first_line, "malformed key line");
        in_section = false;
        continue;
      }
      std::string key = trimmed.substr(1, trimmed.size() - 2);
      if (key.front() == '-') {  // deletes the key and its subkeys
        std::string doomed = lower_ascii(normalise_key(key.substr(1)));
        target.keys.erase(doomed);
        std::string below = doomed + "\\";
        auto first = target.keys.lower_bound(below);
        auto last = first;
        while (last != target.keys.end() && last->first.compare(0, below.size(), below) == 0) ++last;
        target.keys.erase(first, last);
        in_section = false;
        continue;
      }
      current = lower_ascii(normalise_key(key));
      target.keys.try_emplace(current);
      in_section = true;
      continue;
    }
    std::size_t equals = std::string::npos;
    bool is_default = false;
    if (trimmed.front() == '@') {
      is_default = true;
      equals = trimmed.find('=');
      if (equals == std::string::npos || text::trim(trimmed.substr(1, equals - 1)).size() != 0) {
        error(first_line, "malformed default value");
        continue;
      }
    } else if (trimmed.front() == '"') {
      std::size_t i = 0;
      std::string value_name;
      if (!parse_quoted(trimmed, i, value_name)) {
        error(first_line, "unterminated value name");
        continue;
      }
      while (i < trimmed.size() && (trimmed[i] == ' ' || trimmed[i] == '\t')) ++i;
      if (i >= trimmed.size() || trimmed[i] != '=') {
        error(first_line, "missing '=' after the value name");
        continue;
      }
      equals = i;
    } else {
      error(first_line, "line is neither a key, a value nor a comment");
      continue;
    }
    if (!in_section) {
      error(first_line, "value outside a key");
      continue;
    }
    std::optional<std::string> value;
    bool deleted = false;
    std::string why;
    if (!parse_data(std::string_view(trimmed).substr(equals + 1), unicode_file, value, deleted, why)) {
      error(first_line, why);
      continue;
    }
    if (is_default) target.keys[current] = deleted ? std::nullopt : value;
  }
  if (!header_seen) error(1, "empty file");
}

// ---- content types (GIO)

bool known_content_type(state& s, const std::string& type) {
  if (!s.registered_types) {
    s.registered_types = std::make_unique<std::set<std::string>>();
    GList* types = g_content_types_get_registered();
    for (GList* l = types; l; l = l->next) s.registered_types->insert(lower_ascii(static_cast<const char*>(l->data)));
    g_list_free_full(types, g_free);
  }
  return s.registered_types->count(type) != 0;
}

std::optional<std::string> from_content_types(state& s, const std::string& key) {
  static const std::string root = "hkey_classes_root\\";
  if (key.rfind(root, 0) != 0) return std::nullopt;
  std::string sub = key.substr(root.size());
  if (sub.empty()) return std::nullopt;
  if (sub.front() == '.') {
    if (sub.size() < 2 || sub.find('\\') != std::string::npos || sub.find('/') != std::string::npos)
      return std::nullopt;
    std::string name = "x" + sub;
    gboolean uncertain = FALSE;
    gchar* type = g_content_type_guess(name.c_str(), nullptr, 0, &uncertain);
    std::optional<std::string> result;
    if (type) {
      std::string t = type;
      g_free(type);
      if (t != "application/octet-stream" && !g_content_type_is_unknown(t.c_str())) result = t;
    }
    return result;
  }
  static const std::string command_suffix = "\\shell\\open\\command";
  bool command = sub.size() > command_suffix.size() &&
                 sub.compare(sub.size() - command_suffix.size(), command_suffix.size(), command_suffix) == 0;
  std::string type = command ? sub.substr(0, sub.size() - command_suffix.size()) : sub;
  if (type.find('\\') != std::string::npos || type.find('/') == std::string::npos || !known_content_type(s, type))
    return std::nullopt;
  if (!command) {
    gchar* description = g_content_type_get_description(type.c_str());
    if (!description) return std::nullopt;
    std::string result = description;
    g_free(description);
    return result;
  }
  GAppInfo* app = g_app_info_get_default_for_type(type.c_str(), FALSE);
  if (!app) return std::nullopt;
  std::optional<std::string> result;
  if (const char* line = g_app_info_get_commandline(app)) result = line;
  g_object_unref(app);
  return result;
}

void load_environment(state& s) {
  if (s.environment_loaded) return;
  s.environment_loaded = true;
  const char* list = std::getenv("API32_REGISTRY");
  if (!list || !*list) return;
  std::string paths = list;
  std::size_t start = 0;
  while (start <= paths.size()) {
    std::size_t end = paths.find(':', start);
    if (end == std::string::npos) end = paths.size();
    std::string path = paths.substr(start, end - start);
    if (!path.empty()) {
      std::ifstream file(path, std::ios::binary);
      if (file) {
        std::string raw((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        auto src = std::make_shared<source>();
        src->name = path;
        load_result result;
        parse_into(*src, raw, path, result);
        for (const auto& e : result.errors) std::fprintf(stderr, "api32 registry: %s\n", e.c_str());
        s.sources.push_back(src);  // environment files rank behind files the host loads itself
      } else {
        std::fprintf(stderr, "api32 registry: cannot read %s\n", path.c_str());
      }
    }
    start = end + 1;
  }
}

}  // namespace

std::string normalise_key(std::string_view key) {
  std::string k = text::trim(key, true);
  std::string out;
  out.reserve(k.size());
  for (char c : k) {
    if (c == '\\' && !out.empty() && out.back() == '\\') continue;
    out.push_back(c);
  }
  while (!out.empty() && out.back() == '\\') out.pop_back();
  std::size_t slash = out.find('\\');
  std::string root = lower_ascii(out.substr(0, slash));
  std::string rest = slash == std::string::npos ? "" : out.substr(slash);
  static const std::map<std::string, std::string> roots = {
      {"hkcr", "HKEY_CLASSES_ROOT"},   {"hkey_classes_root", "HKEY_CLASSES_ROOT"},
      {"hklm", "HKEY_LOCAL_MACHINE"},  {"hkey_local_machine", "HKEY_LOCAL_MACHINE"},
      {"hkcu", "HKEY_CURRENT_USER"},   {"hkey_current_user", "HKEY_CURRENT_USER"},
      {"hku", "HKEY_USERS"},           {"hkey_users", "HKEY_USERS"},
      {"hkcc", "HKEY_CURRENT_CONFIG"}, {"hkey_current_config", "HKEY_CURRENT_CONFIG"}};
  auto it = roots.find(root);
  return (it != roots.end() ? it->second : out.substr(0, slash)) + rest;
}

std::optional<std::string> default_value(std::string_view key) {
  std::string normal = lower_ascii(normalise_key(key));
  auto& s = registry_state();
  std::lock_guard lock(s.mutex);
  if (const auto* hit = s.cache.find(normal)) return *hit;
  load_environment(s);
  ++s.uncached;
  std::optional<std::string> answer;
  bool found = false;
  for (const auto& src : s.sources) {
    if (auto it = src->keys.find(normal); it != src->keys.end() && it->second) {
      answer = it->second;
      found = true;
      break;
    }
  }
  if (!found && s.content_types) answer = from_content_types(s, normal);
  s.cache.put(normal, answer);
  return answer;
}

load_result load_reg_text(std::string_view raw, const std::string& name) {
  auto src = std::make_shared<source>();
  src->name = name;
  load_result result;
  parse_into(*src, raw, name, result);
  result.loaded = true;
  for (const auto& [k, v] : src->keys) result.keys += v ? 1 : 0;
  auto& s = registry_state();
  std::lock_guard lock(s.mutex);
  s.sources.insert(s.sources.begin(), src);
  s.cache.clear();
  return result;
}

load_result load_reg_file(const std::string& native_path) {
  std::ifstream file(native_path, std::ios::binary);
  if (!file) {
    load_result result;
    result.errors.push_back(native_path + ": cannot be read");
    return result;
  }
  std::string raw((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  return load_reg_text(raw, native_path);
}

void reset() {
  auto& s = registry_state();
  std::lock_guard lock(s.mutex);
  s.sources.clear();
  s.cache.clear();
  s.environment_loaded = false;
  s.uncached = 0;
}

void use_content_types(bool on) {
  auto& s = registry_state();
  std::lock_guard lock(s.mutex);
  s.content_types = on;
  s.cache.clear();
}

std::size_t uncached_lookups() {
  auto& s = registry_state();
  std::lock_guard lock(s.mutex);
  return s.uncached;
}

std::size_t cached_answers() {
  auto& s = registry_state();
  std::lock_guard lock(s.mutex);
  return s.cache.size();
}

}  // namespace api32::registry
