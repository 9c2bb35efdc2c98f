// tray_command.cpp - the `tray` command of the reference host, in the desktop module.
#include "api32/desktop/tray_command.hpp"

#include <glib-unix.h>
#include <gtk/gtk.h>
#include <signal.h>

#include <cstdio>

#include "api32/desktop/command_boxes.hpp"
#include "api32/desktop/uo_nv_trayicon.hpp"
#include "api32/win32/desktop_tray.hpp"

namespace api32::desktop {
namespace {

std::string mouse_message_name(std::intptr_t message) {
  switch (message) {
    case win32::WM_LBUTTONDOWN:
      return "WM_LBUTTONDOWN";
    case win32::WM_LBUTTONUP:
      return "WM_LBUTTONUP";
    case win32::WM_LBUTTONDBLCLK:
      return "WM_LBUTTONDBLCLK";
    case win32::WM_RBUTTONDOWN:
      return "WM_RBUTTONDOWN";
    case win32::WM_RBUTTONUP:
      return "WM_RBUTTONUP";
    case win32::WM_MBUTTONDOWN:
      return "WM_MBUTTONDOWN";
    case win32::WM_MBUTTONUP:
      return "WM_MBUTTONUP";
    default:
      return "message " + std::to_string(message);
  }
}

// The sources stay until run_tray removes them.
gboolean quit_loop(gpointer loop) {
  g_main_loop_quit(static_cast<GMainLoop*>(loop));
  return G_SOURCE_CONTINUE;
}

}  // namespace

int run_tray(const std::string& icon, const std::string& tip, bool menu, int seconds,
             const std::function<void(const std::string& line)>& emit) {
  command_boxes boxes;  // the icon itself needs only the bus
  window host("api32 tray", 100, 100);
  uo_nv_trayicon tray;
  host.set_message_hook([&](std::uint32_t message, std::uintptr_t, std::intptr_t mouse) {
    if (message != static_cast<std::uint32_t>(uo_nv_trayicon::wm_mousemove)) return;
    emit(mouse_message_name(mouse));
    if (menu && mouse == win32::WM_RBUTTONUP && tray.imenu->popmenu() != 1) emit("menu: no display");
  });
  // Chosen in the popup or in a panel's own copy of the menu.
  tray.imenu->m_test.clicked = [&] { emit("menu: Test"); };
  if (!tray.addtotray(host, icon, tip)) return 1;

  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  guint interrupt = g_unix_signal_add(SIGINT, quit_loop, loop);
  guint terminate = g_unix_signal_add(SIGTERM, quit_loop, loop);
  guint timer = seconds > 0 ? g_timeout_add_seconds(static_cast<guint>(seconds), quit_loop, loop) : 0;
  g_main_loop_run(loop);
  for (guint source : {interrupt, terminate, timer})
    if (source != 0) g_source_remove(source);
  g_main_loop_unref(loop);
  tray.removefromtray(host);
  return 0;
}

}  // namespace api32::desktop

extern "C" __attribute__((visibility("default"))) int api32_desktop_run_tray(const char* icon, const char* tip,
                                                                             int menu, int seconds,
                                                                             void (*emit)(const char*, void*),
                                                                             void* context) {
  try {  // nothing may unwind into a C caller
    return api32::desktop::run_tray(icon ? icon : "", tip ? tip : "", menu != 0, seconds, [&](const std::string& line) {
      if (emit) {
        emit(line.c_str(), context);
      } else {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
      }
    });
  } catch (...) {
    return -1;
  }
}
