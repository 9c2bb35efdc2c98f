// abi_registry.cpp - every class by name, and the table layouts a host can make datastores of.
#include <cstring>

#include "api32/abi/api32.h"
#include "api32/abi/class_registry.hpp"
#include "api32/process/uo_nv_process.hpp"
#include "api32/zip/uo_nv_ziplib.hpp"

namespace api32::abi {
namespace {

struct class_entry {
  const char* name;
  const api32_vtable_info* (*get)();
};

const class_entry classes[] = {
    {"uo_nv_ziplib", getVtableInfo_uo_nv_ziplib},
    {"uo_nv_compression", getVtableInfo_uo_nv_compression},
    {"uo_nv_process", getVtableInfo_uo_nv_process},
    {"uo_nv_file", getVtableInfo_uo_nv_file},
    {"uo_nv_getopenfilename", getVtableInfo_uo_nv_getopenfilename},
    {"uo_nv_trayicon", getVtableInfo_uo_nv_trayicon},
    {"trayicon_menu", getVtableInfo_trayicon_menu},
    {"w_download_addon", getVtableInfo_w_download_addon},
    {"uo_nv_devil", getVtableInfo_uo_nv_devil},
    {"menu_item", getVtableInfo_menu_item},  // trayicon_menu's items, reached through the menu
};

}  // namespace

const char* const* class_names() {
  static const char* names[] = {
      "uo_nv_ziplib",   "uo_nv_compression", "uo_nv_process",    "uo_nv_file",  "uo_nv_getopenfilename",
      "uo_nv_trayicon", "trayicon_menu",     "w_download_addon", "uo_nv_devil", nullptr};
  return names;
}

const api32::table_layout* layout_by_name(const std::string& name) {
  if (name == "d_zipfiles") return &api32::d_zipfiles();
  if (name == "dw_processes") return &api32::dw_processes();
  return nullptr;
}

}  // namespace api32::abi

extern "C" API32_EXPORT const api32_vtable_info* api32_find_class(const char* name) {
  if (!name) return nullptr;
  for (const auto& c : api32::abi::classes)
    if (std::strcmp(c.name, name) == 0) return c.get();  // each entry point guards itself
  try {
    api32::abi::set_last_error(std::string("no class named ") + name);
  } catch (...) {
  }
  return nullptr;
}
