// browse_command.cpp - the `browse` command of the reference host, in the desktop module.
#include "tools/api32/desktop/browse_command.hpp"

#include <glib-unix.h>
#include <gtk/gtk.h>
#include <signal.h>

#include <cstdio>

#include "api32/desktop/w_download_addon.hpp"
#include "api32/desktop_win32/gtk_session.hpp"
#include "api32/host/host_services.hpp"
#include "tools/api32/desktop/command_boxes.hpp"

namespace api32::desktop {
namespace {

std::string describe(const host::download_event& event) {
  using kind = host::download_event::kind;
  switch (event.what) {
    case kind::started:
      return "started " + event.file + " " + event.url;
    case kind::progress:
      return "progress " + std::to_string(event.received) + "/" + std::to_string(event.expected) + " " + event.file;
    case kind::finished:
      return "finished " + event.file;
    case kind::failed:
      return "failed " + event.file + " " + event.error;
  }
  return "";
}

// The sources stay until run_browse removes them.
gboolean quit_loop(gpointer loop) {
  g_main_loop_quit(static_cast<GMainLoop*>(loop));
  return G_SOURCE_CONTINUE;
}

}  // namespace

int run_browse(const std::string& url, const std::string& game, const std::string& addon_url,
               const std::function<void(const std::string& line)>& emit) {
  if (!gtk_ready()) return 2;
  command_boxes boxes;
  host::services& host = host::globals();
  if (!game.empty()) host.game_name = game;
  if (!addon_url.empty()) host.app_addon_url = addon_url;
  auto previous_listener = host.download_progress;
  host.download_progress = [&](const host::download_event& event) { emit(describe(event)); };

  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  {
    w_download_addon browser;
    // Closing the window (its close button, OK, BACK) hides it: that ends the command.
    g_signal_connect_swapped(browser.widget(), "hide", G_CALLBACK(+[](GMainLoop* l) { g_main_loop_quit(l); }), loop);
    guint interrupt = g_unix_signal_add(SIGINT, quit_loop, loop);
    guint terminate = g_unix_signal_add(SIGTERM, quit_loop, loop);
    browser.open(url);
    g_main_loop_run(loop);
    g_source_remove(interrupt);
    g_source_remove(terminate);
    g_signal_handlers_disconnect_by_data(browser.widget(), loop);
  }
  g_main_loop_unref(loop);
  host.download_progress = previous_listener;
  return 0;
}

}  // namespace api32::desktop

extern "C" __attribute__((visibility("default"))) int api32_desktop_run_browse(const char* url, const char* game,
                                                                               const char* addon_url,
                                                                               void (*emit)(const char*, void*),
                                                                               void* context) {
  try {  // nothing may unwind into a C caller
    return api32::desktop::run_browse(url ? url : "", game ? game : "", addon_url ? addon_url : "",
                                      [&](const std::string& line) {
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
