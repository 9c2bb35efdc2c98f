// process_settings.cpp - uo_nv_process: the constructor and the launch settings (priority, folder, window
// position, size and state, time-out).
#include <cmath>

#include "api32/process/uo_nv_process.hpp"
#include "api32/runtime/text.hpp"

namespace api32 {

uo_nv_process::uo_nv_process() {
  istr_startupinfo.s_reserved = 0;  // null addresses
  istr_startupinfo.s_title = 0;
  istr_startupinfo.l_reserved2 = 0;
  istr_startupinfo.ui_reserved2 = 0;
  is_directory.reset();
}

void uo_nv_process::set_flag(std::uint32_t bit, bool on) {
  if (of_isenabled(bit) == on) return;
  if (on)
    istr_startupinfo.ul_flags += bit;
  else
    istr_startupinfo.ul_flags -= bit;
}

std::int16_t uo_nv_process::of_setpriority(std::optional<std::uint32_t> aul_priority) {
  if (!aul_priority) return -1;
  switch (*aul_priority) {
    case normal_priority_class:
    case idle_priority_class:
    case high_priority_class:
    case realtime_priority_class:
      iul_creationflags = *aul_priority;
      return 1;
    default:
      return -1;
  }
}

std::int16_t uo_nv_process::of_setcurrentdirectory(const std::optional<std::string>& as_directory) {
  if (as_directory && as_directory->empty()) {
    is_directory.reset();  // an empty text: the caller's folder
  } else {
    is_directory = as_directory;
  }
  return 1;
}

bool uo_nv_process::of_isenabled(std::uint32_t aul_feature) {
  const std::uint32_t flags = istr_startupinfo.ul_flags;
  if (aul_feature == 0) return false;
  if ((aul_feature & (aul_feature - 1)) != 0) return (flags & aul_feature) == aul_feature;  // several bits
  // a single bit: bit number k = ln(feature) / ln 2, enabled when the whole part of flags / 2^k is odd
  // (k rounded, so that ln's last-digit error never shifts the bit)
  double k = std::round(std::log(static_cast<double>(aul_feature)) / log_2);
  double whole = std::floor(static_cast<double>(flags) / std::exp2(k));
  return std::fmod(whole, 2.0) == 1.0;
}

std::int16_t uo_nv_process::of_setposition(std::optional<std::uint32_t> aul_x, std::optional<std::uint32_t> aul_y) {
  if (!aul_x || !aul_y) return -1;
  if (*aul_x == 0 && *aul_y == 0) {
    set_flag(startf_useposition, false);
    return 1;
  }
  set_flag(startf_useposition, true);
  istr_startupinfo.ul_x = *aul_x;
  istr_startupinfo.ul_y = *aul_y;
  return 1;
}

std::int16_t uo_nv_process::of_setsize(std::optional<std::uint32_t> aul_width,
                                       std::optional<std::uint32_t> aul_height) {
  if (!aul_width || !aul_height) return -1;
  if (*aul_width == 0 && *aul_height == 0) {
    set_flag(startf_usesize, false);
    return 1;
  }
  set_flag(startf_usesize, true);
  istr_startupinfo.ul_xsize = *aul_width;
  istr_startupinfo.ul_ysize = *aul_height;
  return 1;
}

std::int16_t uo_nv_process::of_setwindow(const std::string& as_windowstate) {
  std::int16_t li_rc = 1;
  set_flag(startf_useshowwindow, true);
  auto show = [this](std::uint16_t state) {
    istr_startupinfo.ui_showwindow = state;
    ib_showwindow_null = false;
  };
  const std::string state = text::lower(as_windowstate);
  if (state == "off") {
    set_flag(startf_useshowwindow, false);
  } else if (state == "normal") {
    show(sw_normal);
  } else if (state == "maximize") {
    show(sw_maximize);
  } else if (state == "minimize") {
    show(sw_minimize);
  } else if (state == "hide") {
    show(sw_hide);
  } else {
    li_rc = -1;  // the show-window bit set above stays set
  }
  return li_rc;
}

std::int16_t uo_nv_process::of_settimeout(const std::optional<decimal>& adec_seconds) {
  if (!adec_seconds || !adec_seconds->valid()) return -1;
  const decimal& seconds = *adec_seconds;
  if (seconds < decimal(-1)) return -1;
  // -1 is `infinite` read as a signed number: from -1 up to 0 there is no limit, as there is from the
  // largest millisecond count on (4294967295 seconds included)
  static const decimal last_limited = decimal::from_parts(4294967295, 3);  // seconds
  if (seconds < decimal(0) || seconds >= last_limited) {
    iul_timeout = infinite;
    return 1;
  }
  std::optional<std::int64_t> milliseconds = (seconds * decimal(1000)).round();
  iul_timeout = (!milliseconds || *milliseconds >= infinite) ? infinite : static_cast<std::uint32_t>(*milliseconds);
  return 1;
}

}  // namespace api32
