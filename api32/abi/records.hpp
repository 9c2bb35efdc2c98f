// records.hpp - the records that cross the boundary field by field.
#pragma once

#include "api32/abi/values_bridge.hpp"
#include "api32/win32/file_records.hpp"

namespace api32::abi {

template <>
struct record_fields<api32::os_filedatetime> {
  static const char* name() { return "os_filedatetime"; }
  template <class F>
  static void visit(api32::os_filedatetime& r, F&& f) {
    f("ul_lowdatetime", r.ul_lowdatetime);
    f("ul_highdatetime", r.ul_highdatetime);
  }
};

}  // namespace api32::abi
