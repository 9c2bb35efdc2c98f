// gtk_presenter.cpp - the GTK message box: a modal GtkMessageDialog with one OK button.
#include "api32/desktop_win32/gtk_presenter.hpp"

#include <gtk/gtk.h>

#include <memory>

#include "api32/desktop_win32/gtk_session.hpp"
#include "api32/desktop_win32/window.hpp"
#include "api32/runtime/text.hpp"

namespace api32::desktop {
namespace {

GtkMessageType message_type(msg_icon icon) {
  switch (icon) {
    case msg_icon::information:
      return GTK_MESSAGE_INFO;
    case msg_icon::stop:
      return GTK_MESSAGE_ERROR;
    case msg_icon::exclamation:
      return GTK_MESSAGE_WARNING;
    case msg_icon::question:
      return GTK_MESSAGE_QUESTION;
    case msg_icon::none:
      return GTK_MESSAGE_OTHER;
  }
  return GTK_MESSAGE_INFO;
}

// The window a box without an explicit owner belongs to: the process's focused top-level, if any.
GtkWindow* active_window() {
  GtkWindow* found = nullptr;
  GList* toplevels = gtk_window_list_toplevels();
  for (GList* item = toplevels; item != nullptr && found == nullptr; item = item->next) {
    GtkWindow* w = GTK_WINDOW(item->data);
    if (gtk_window_is_active(w) && gtk_widget_get_mapped(GTK_WIDGET(w))) found = w;
  }
  g_list_free(toplevels);
  return found;
}

}  // namespace

void gtk_presenter::show(const message& box) {
  if (!gtk_ready()) {  // installed without a display: the box must still reach someone
    stderr_presenter().show(box);
    return;
  }
  GtkWindow* parent = nullptr;
  if (window* owner = window::from_handle(owner_, true); owner != nullptr && owner->widget() != nullptr)
    parent = GTK_WINDOW(owner->widget());
  if (parent == nullptr) parent = active_window();
  // The text goes in as an argument, never as the format: a "%" in a message is shown as written. GTK takes
  // UTF-8 only, so a stray byte becomes U+FFFD instead of hiding the whole text.
  const std::string body = text::make_valid_utf8(box.text);
  const std::string title = text::make_valid_utf8(box.title);
  GtkWidget* dialog =
      gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, message_type(box.icon), GTK_BUTTONS_OK, "%s", body.c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), title.c_str());
  gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
}

bool install_gtk_presenter(std::uint32_t owner) {
  if (!gtk_ready()) return false;
  set_message_presenter(std::make_shared<gtk_presenter>(owner));
  return true;
}

}  // namespace api32::desktop
