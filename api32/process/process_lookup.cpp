// process_lookup.cpp - uo_nv_process::of_isprocesseexist: the n-th running process whose executable's name
// ends with a given name.
#include <cstring>

#include "api32/process/uo_nv_process.hpp"
#include "api32/runtime/text.hpp"

namespace api32 {

std::uint32_t uo_nv_process::of_isprocesseexist(const std::string& as_processename, std::int16_t ai_sameprocesscount) {
  ii_processcount = 0;
  const std::int32_t lul_snapshot = static_cast<std::int32_t>(createtoolhelp32snapshot(th32cs_snapprocess, 0));
  if (lul_snapshot == -1) return 0;
  const auto snapshot = static_cast<std::uint32_t>(lul_snapshot);

  str_processentry32 lstr_procentry;
  lstr_procentry.dwsize = sizeof(str_processentry32);
  bool lb_ok = process32first(snapshot, lstr_procentry);
  const std::int64_t ll_len = text::len(as_processename);
  const std::string ls_wanted = text::upper(as_processename);
  while (lb_ok) {
    std::string_view exe(lstr_procentry.szexefile,
                         ::strnlen(lstr_procentry.szexefile, sizeof lstr_procentry.szexefile));
    if (text::right(text::upper(exe), ll_len) == ls_wanted) {
      ++ii_processcount;
      if (ii_processcount == ai_sameprocesscount) {
        closehandle(snapshot);
        return openprocess(static_cast<std::uint32_t>(process_query_information + process_vm_read), false,
                           lstr_procentry.th32processid);
      }
    }
    lb_ok = process32next(snapshot, lstr_procentry);
  }
  closehandle(snapshot);
  return 0;
}

}  // namespace api32
