// file_conversions.cpp - uo_nv_file: file times to the host's date and time (UTC or local) and back (UTC).
#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>

#include "api32/file/uo_nv_file.hpp"

namespace api32 {
namespace {

int number_in(std::string_view text) {
  int value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

// "9:5:7:42" to a time of day: hour, minute and second from the first three fields, the fourth taken as
// milliseconds (the fraction the text was written from).
api32::time time_from_text(const std::string& as_text) {
  int fields[4] = {0, 0, 0, 0};
  std::size_t start = 0;
  for (int& field : fields) {
    std::size_t end = as_text.find(':', start);
    field = number_in(std::string_view(as_text).substr(start, end == std::string::npos ? end : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return api32::time{fields[0], fields[1], fields[2], fields[3] * 1000};
}

// Steps 2 to 5 of the reading conversions: a system time record to the host's date and time. False, with
// both left as they were, for a year past 9999, which the host's date cannot hold.
bool system_time_to_date_time(const os_systemtime& lstr_systemtime, api32::date& ad_filedate,
                              api32::time& at_filetime) {
  api32::date ld_date{lstr_systemtime.ui_wyear, lstr_systemtime.ui_wmonth, lstr_systemtime.ui_wday};
  if (!ld_date.valid()) return false;
  ad_filedate = ld_date;
  std::string ls_time = std::to_string(lstr_systemtime.ui_whour) + ":" + std::to_string(lstr_systemtime.ui_wminute) +
                        ":" + std::to_string(lstr_systemtime.ui_wsecond) + ":" +
                        std::to_string(lstr_systemtime.ui_wmilliseconds);
  at_filetime = time_from_text(ls_time);
  return true;
}

}  // namespace

std::int16_t uo_nv_file::of_convertfiledatetimetopb(os_filedatetime astr_filetime, api32::date& ad_filedate,
                                                    api32::time& at_filetime) {
  os_systemtime lstr_systemtime;
  if (!filetimetosystemtime(astr_filetime, lstr_systemtime)) return -1;
  return system_time_to_date_time(lstr_systemtime, ad_filedate, at_filetime) ? 1 : -1;
}

std::int16_t uo_nv_file::of_convertfiledatetimetopblocal(os_filedatetime astr_filetime, api32::date& ad_filedate,
                                                         api32::time& at_filetime) {
  os_filedatetime lstr_localtime;
  if (!filetimetolocalfiletime(astr_filetime, lstr_localtime)) return -1;
  os_systemtime lstr_systemtime;
  if (!filetimetosystemtime(lstr_localtime, lstr_systemtime)) return -1;
  return system_time_to_date_time(lstr_systemtime, ad_filedate, at_filetime) ? 1 : -1;
}

// The date and time are taken as UTC. Years below 100 are read as two-digit years: 0-49 as 2000-2049, 50-99 as
// 1950-1999. Only milliseconds of the fraction reach the file time.
std::int16_t uo_nv_file::of_convertpbdatetimetofile(api32::date ad_filedate, api32::time at_filetime,
                                                    os_filedatetime& astr_filetime) {
  // values the host's date and time cannot hold would otherwise be bent into real ones below
  if (!ad_filedate.valid() || !at_filetime.valid()) return -1;
  char ls_year[16];
  std::snprintf(ls_year, sizeof ls_year, "%04d", ad_filedate.year);
  int li_year = number_in(ls_year);
  if (li_year < 50)
    li_year += 2000;
  else if (li_year < 100)
    li_year += 1900;

  os_systemtime lstr_systemtime{};
  lstr_systemtime.ui_wyear = static_cast<std::uint16_t>(li_year);
  lstr_systemtime.ui_wmonth = static_cast<std::uint16_t>(ad_filedate.month);
  lstr_systemtime.ui_wday = static_cast<std::uint16_t>(ad_filedate.day);

  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d:%03d", at_filetime.hour, at_filetime.minute, at_filetime.second,
                at_filetime.microsecond / 1000);
  std::string_view ls_time = buffer;
  lstr_systemtime.ui_whour = static_cast<std::uint16_t>(number_in(ls_time.substr(0, 2)));
  lstr_systemtime.ui_wminute = static_cast<std::uint16_t>(number_in(ls_time.substr(3, 2)));
  lstr_systemtime.ui_wsecond = static_cast<std::uint16_t>(number_in(ls_time.substr(6, 2)));
  lstr_systemtime.ui_wmilliseconds = static_cast<std::uint16_t>(number_in(ls_time.substr(ls_time.size() - 3)));

  if (!systemtimetofiletime(lstr_systemtime, astr_filetime)) return -1;
  return 1;
}

}  // namespace api32
