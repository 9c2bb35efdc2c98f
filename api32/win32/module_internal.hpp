// module_internal.hpp - what the loader and the substitutes share inside win32/.
#pragma once

#include <optional>
#include <string_view>

#include "api32/win32/module.hpp"

namespace api32::win32::detail {

/// The substitute installed for exactly this library name, if any.
std::optional<module_entry_points> find_module_substitute(std::string_view library_name);

}  // namespace api32::win32::detail
