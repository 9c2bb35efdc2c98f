// loop_pump.cpp - the main-loop pump of the desktop tests.
#include "loop_pump.hpp"

#include <glib.h>

namespace api32::testing {

bool pump_until(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  // A tick wakes the blocking iteration, so the limit is honoured when nothing else happens.
  guint tick = g_timeout_add(
      10, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
  bool reached = done();
  while (!reached && std::chrono::steady_clock::now() < deadline) {
    g_main_context_iteration(nullptr, TRUE);
    reached = done();
  }
  g_source_remove(tick);
  return reached;
}

}  // namespace api32::testing
