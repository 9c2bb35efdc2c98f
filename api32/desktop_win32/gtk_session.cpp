// gtk_session.cpp - one gtk_init_check per process, remembered.
#include "api32/desktop_win32/gtk_session.hpp"

#include <gtk/gtk.h>

namespace api32::desktop {

bool gtk_ready() {
  static int state = -1;  // -1 not tried, 0 no display, 1 ready
  if (state == 1) return true;
  if (gdk_display_get_default() != nullptr) {  // the host initialised GTK itself
    state = 1;
    return true;
  }
  if (state == -1) state = gtk_init_check(nullptr, nullptr) ? 1 : 0;
  return state == 1;
}

}  // namespace api32::desktop
