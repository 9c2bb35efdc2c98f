// gui_driver.cpp - the in-process drivers of the GUI tests.
#include "gui_driver.hpp"

#include <memory>

#include "api32/desktop_win32/gtk_session.hpp"

namespace api32::testing {
namespace {

constexpr gint64 time_limit = 20 * G_USEC_PER_SEC;  // far above the 3.5 s a loaded machine needed to map one

void collect_tree_views(GtkWidget* widget, gpointer list) {
  if (GTK_IS_TREE_VIEW(widget) && gtk_widget_get_mapped(widget)) {
    *static_cast<GList**>(list) = g_list_append(*static_cast<GList**>(list), widget);
  }
  if (GTK_IS_CONTAINER(widget)) gtk_container_forall(GTK_CONTAINER(widget), collect_tree_views, list);
}

// The dialog's file list: the mapped tree view inside it.
GtkTreeView* file_list(GtkWidget* dialog) {
  GList* views = nullptr;
  gtk_container_forall(GTK_CONTAINER(dialog), collect_tree_views, &views);
  GtkTreeView* found = views != nullptr ? GTK_TREE_VIEW(views->data) : nullptr;
  g_list_free(views);
  return found;
}

std::string title_of(GtkWidget* w) {
  const gchar* title = gtk_window_get_title(GTK_WINDOW(w));
  return title != nullptr ? title : "";
}

}  // namespace

bool gui_available() {
  if (!desktop::gtk_ready()) return false;
  // Tests must not fill the recent-files list of whoever runs them.
  g_object_set(gtk_settings_get_default(), "gtk-recent-files-enabled", FALSE, nullptr);
  return true;
}

GtkWidget* find_mapped_toplevel(GType type) {
  GtkWidget* found = nullptr;
  GList* toplevels = gtk_window_list_toplevels();
  for (GList* item = toplevels; item != nullptr && found == nullptr; item = item->next) {
    GtkWidget* w = GTK_WIDGET(item->data);
    if (G_TYPE_CHECK_INSTANCE_TYPE(w, type) && gtk_widget_get_mapped(w)) found = w;
  }
  g_list_free(toplevels);
  return found;
}

chooser_driver::chooser_driver(std::string folder, std::size_t rows, bool accept)
    : folder_(std::move(folder)), rows_(rows), accept_(accept) {
  deadline_ = g_get_monotonic_time() + time_limit;
  source_ = g_timeout_add(20, tick, this);
}

chooser_driver::~chooser_driver() {
  if (source_ != 0) g_source_remove(source_);
}

gboolean chooser_driver::tick(gpointer self) {
  auto* d = static_cast<chooser_driver*>(self);
  if (d->step()) return G_SOURCE_CONTINUE;
  d->source_ = 0;
  return G_SOURCE_REMOVE;
}

// One poll; false when the driver is done.
bool chooser_driver::step() {
  GtkWidget* dialog = find_mapped_toplevel(GTK_TYPE_FILE_CHOOSER_DIALOG);
  if (g_get_monotonic_time() > deadline_) {
    timed_out_ = true;
    if (dialog != nullptr) gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
    return false;
  }
  if (dialog == nullptr) return true;
  title_ = title_of(dialog);
  if (!accept_) {
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
    answered_ = true;
    return false;
  }
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
  if (!folder_set_) {
    gtk_file_chooser_set_current_folder(chooser, folder_.c_str());
    folder_set_ = true;
    return true;
  }
  std::unique_ptr<gchar, decltype(&g_free)> current(gtk_file_chooser_get_current_folder(chooser), g_free);
  if (current == nullptr || folder_ != current.get()) return true;
  GtkTreeView* view = file_list(dialog);
  if (view == nullptr) return true;
  GtkTreeModel* model = gtk_tree_view_get_model(view);
  rows_seen_ = model != nullptr ? static_cast<std::size_t>(gtk_tree_model_iter_n_children(model, nullptr)) : 0;
  if (rows_seen_ != rows_) return true;
  gtk_tree_selection_select_all(gtk_tree_view_get_selection(view));
  gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
  answered_ = true;
  return false;
}

message_box_driver::message_box_driver() {
  deadline_ = g_get_monotonic_time() + time_limit;
  source_ = g_timeout_add(20, tick, this);
}

message_box_driver::~message_box_driver() {
  if (source_ != 0) g_source_remove(source_);
}

gboolean message_box_driver::tick(gpointer self) {
  auto* d = static_cast<message_box_driver*>(self);
  GtkWidget* box = find_mapped_toplevel(GTK_TYPE_MESSAGE_DIALOG);
  if (g_get_monotonic_time() > d->deadline_) {
    d->timed_out_ = true;
    if (box != nullptr) gtk_dialog_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
    d->source_ = 0;
    return G_SOURCE_REMOVE;
  }
  if (box == nullptr) return G_SOURCE_CONTINUE;
  gchar* text = nullptr;
  GtkMessageType type = GTK_MESSAGE_OTHER;
  g_object_get(box, "text", &text, "message-type", &type, nullptr);
  d->text_ = text != nullptr ? text : "";
  g_free(text);
  d->type_ = type;
  d->title_ = title_of(box);
  d->modal_ = gtk_window_get_modal(GTK_WINDOW(box));
  d->transient_for_ = gtk_window_get_transient_for(GTK_WINDOW(box));
  gtk_dialog_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
  d->answered_ = true;
  d->source_ = 0;
  return G_SOURCE_REMOVE;
}

}  // namespace api32::testing
