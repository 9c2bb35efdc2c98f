// abi_host_functions.cpp - the host services that are functions (tr2, the download window's reports), set
// from C: the host's callbacks wrapped in the services' own function types.
#include <string>
#include <vector>

#include "api32/abi/api32.h"
#include "api32/host/host_services.hpp"

namespace {

// A translation through the host's callback; a callback that gives no answer leaves the text unchanged.
std::string translate(api32_text_function function, void* user, const std::string& text) {
  std::vector<char> out(256);
  for (int attempt = 0; attempt < 2; ++attempt) {
    const int64_t length = function(text.c_str(), out.data(), out.size(), user);
    if (length < 0) return text;
    const auto needed = static_cast<std::size_t>(length);
    if (needed <= out.size()) return std::string(out.data(), needed);  // it fitted
    if (needed > (std::size_t{1} << 24)) return text;                  // no title is 16 MiB long
    out.assign(needed + 1, '\0');
  }
  return text;  // the callback asked for more room twice
}

int32_t kind_number(api32::host::download_event::kind kind) {
  switch (kind) {
    case api32::host::download_event::kind::started:
      return 0;
    case api32::host::download_event::kind::progress:
      return 1;
    case api32::host::download_event::kind::finished:
      return 2;
    case api32::host::download_event::kind::failed:
      return 3;
  }
  return 3;
}

}  // namespace

extern "C" {

API32_EXPORT void api32_host_set_tr2(api32_text_function function, void* user) {
  auto& g = api32::host::globals();
  if (!function) {
    g.tr2 = [](const std::string& s) { return s; };
    return;
  }
  try {  // nothing may unwind into a C caller
    g.tr2 = [function, user](const std::string& text) { return translate(function, user, text); };
  } catch (...) {
  }
}

API32_EXPORT void api32_host_set_download_callback(api32_download_callback callback, void* user) {
  auto& g = api32::host::globals();
  if (!callback) {
    g.download_progress = nullptr;
    return;
  }
  try {
    g.download_progress = [callback, user](const api32::host::download_event& e) {
      callback(kind_number(e.what), e.url.c_str(), e.file.c_str(), e.received, e.expected, e.error.c_str(), user);
    };
  } catch (...) {
  }
}

}  // extern "C"
