// process_layout.cpp - the table layout dw_processes.
#include "api32/process/uo_nv_process.hpp"

namespace api32 {

const table_layout& dw_processes() {
  static const table_layout layout{"dw_processes", {{"name", "Name"}, {"id", "Id"}}};
  return layout;
}

}  // namespace api32
