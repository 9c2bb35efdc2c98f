// version.hpp - the library's version.
#pragma once

#define API32_VERSION_TEXT "0.1.0"

namespace api32 {
/// The version of the library, "major.minor.patch".
const char* version() noexcept;
}  // namespace api32
