// loop_pump.hpp - waiting for the main loop's work with a limit, never for a fixed time.
#pragma once

#include <chrono>
#include <functional>

namespace api32::testing {

/// Iterates the default main context (where tray items, posted window messages and web views run) until
/// `done` or the limit; false on the limit.
bool pump_until(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(15));

}  // namespace api32::testing
