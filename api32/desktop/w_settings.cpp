// w_settings.cpp - the settings window: its buttons placed by window units, in Arial 12 pt bold.
#include "api32/desktop/w_settings.hpp"

#include <gtk/gtk.h>

namespace api32 {
namespace {

// Arial 12 pt bold; no extra padding, so the button keeps the height its window units give it.
constexpr const char* button_css =
    "button { font-family: Arial; font-size: 12pt; font-weight: bold; padding: 0 4px; min-height: 0; }";

GtkWidget* make_button(GtkWidget* container, const char* label, const w_settings::placement& at, GtkCssProvider* css) {
  GtkWidget* button = gtk_button_new_with_label(label);
  gtk_style_context_add_provider(gtk_widget_get_style_context(button), GTK_STYLE_PROVIDER(css),
                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  gtk_widget_set_size_request(button, units_to_pixels_x(at.width), units_to_pixels_y(at.height));
  gtk_fixed_put(GTK_FIXED(container), button, units_to_pixels_x(at.x), units_to_pixels_y(at.y));
  return button;
}

}  // namespace

w_settings::w_settings(std::string title, int width_units, int height_units)
    : window(std::move(title), width_units, height_units) {
  if (container() == nullptr) return;  // no display: a window without controls
  GtkCssProvider* css = gtk_css_provider_new();
  gtk_css_provider_load_from_data(css, button_css, -1, nullptr);
  // Added in tab order (back 10, ok 20), which is also their top-to-bottom order on screen.
  back_ = make_button(container(), "BACK", back_placement, css);
  ok_ = make_button(container(), "OK", ok_placement, css);
  g_object_unref(css);
  g_signal_connect_swapped(ok_, "clicked", G_CALLBACK(+[](w_settings* self) { self->ok_clicked(); }), this);
  g_signal_connect_swapped(back_, "clicked", G_CALLBACK(+[](w_settings* self) { self->back_clicked(); }), this);
}

void w_settings::open_event() {
  if (widget() != nullptr) gtk_window_set_position(GTK_WINDOW(widget()), GTK_WIN_POS_CENTER);
}

void w_settings::ok_clicked() { close(); }

void w_settings::back_clicked() { close(); }

}  // namespace api32
