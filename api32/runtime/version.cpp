// version.cpp - the library's version text.
#include "api32/version.hpp"

namespace api32 {
const char* version() noexcept { return API32_VERSION_TEXT; }
}  // namespace api32
