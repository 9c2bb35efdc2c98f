// w_download_addon.cpp - the download window: its layout and its open event.
#include "api32/desktop/w_download_addon.hpp"

#include <gtk/gtk.h>

#include "api32/host/host_services.hpp"

namespace api32 {

w_download_addon::w_download_addon() : w_settings(design_title, width_units, height_units) {
  if (container() == nullptr || ole_ie.widget() == nullptr) return;
  // Put after the inherited buttons, so it is drawn over them and takes their clicks where they overlap.
  gtk_widget_set_size_request(ole_ie.widget(), units_to_pixels_x(ole_ie_placement.width),
                              units_to_pixels_y(ole_ie_placement.height));
  gtk_fixed_put(GTK_FIXED(container()), ole_ie.widget(), units_to_pixels_x(ole_ie_placement.x),
                units_to_pixels_y(ole_ie_placement.y));
}

void w_download_addon::open_event() {
  w_settings::open_event();
  const host::services& host = host::globals();
  const std::string text = opening_text();
  ole_ie.navigate(text.empty() ? host.app_addon_url : text);
  set_title(text);
  set_title(host.tr2(title()) + " - " + host.game_name);
}

}  // namespace api32
