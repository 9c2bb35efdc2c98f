// class_registry.hpp - what the exported calls need to know about all classes at once.
#pragma once

#include <string>

#include "api32/abi/api32.h"
#include "api32/runtime/datastore.hpp"

namespace api32 {
class uo_nv_ziplib;
}

namespace api32::abi {

/// Every class name, NULL-terminated, in the order a host meets them.
const char* const* class_names();
/// The table layouts a host can make datastores of: "d_zipfiles", "dw_processes".
const api32::table_layout* layout_by_name(const std::string& name);
/// The uo_nv_ziplib behind an object a host made through getVtableInfo_uo_nv_ziplib, or null.
api32::uo_nv_ziplib* ziplib_from_object(void* object);
/// The description of a desktop class from the module libapi32_desktop.so, or null (reason in last error).
const api32_vtable_info* desktop_class(const char* name) noexcept;
/// An entry point of the desktop module other than a class, or null (reason in last error).
void* desktop_entry(const char* symbol) noexcept;
/// Sets the text api32_last_error returns on this thread.
void set_last_error(std::string text) noexcept;

}  // namespace api32::abi
