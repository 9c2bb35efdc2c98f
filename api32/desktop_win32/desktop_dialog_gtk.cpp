// desktop_dialog_gtk.cpp - the file chooser the open-file dialog shows by default: GtkFileChooserDialog in
// open mode, modal to the owner window, with the caller's file types as case-blind filters.
#include <gtk/gtk.h>

#include <memory>

#include "api32/desktop_win32/desktop_dialog.hpp"
#include "api32/desktop_win32/gtk_session.hpp"
#include "api32/desktop_win32/window.hpp"

namespace api32::win32 {
namespace {

// GTK 3's own patterns are case-sensitive; Windows matches *.zip against MOD.ZIP, so the filter matches
// names itself.
gboolean filter_accepts(const GtkFileFilterInfo* info, gpointer data) {
  const auto* filter = static_cast<const file_type_filter*>(data);
  if (info->filename != nullptr) {
    std::unique_ptr<gchar, decltype(&g_free)> name(g_path_get_basename(info->filename), g_free);
    return filter_matches(*filter, name.get()) ? TRUE : FALSE;
  }
  return info->display_name != nullptr && filter_matches(*filter, info->display_name) ? TRUE : FALSE;
}

void delete_filter(gpointer data) { delete static_cast<file_type_filter*>(data); }

std::vector<std::string> chosen_paths(GtkFileChooser* chooser) {
  std::vector<std::string> paths;
  GSList* list = gtk_file_chooser_get_filenames(chooser);
  for (GSList* item = list; item != nullptr; item = item->next) {
    paths.emplace_back(static_cast<const char*>(item->data));
  }
  g_slist_free_full(list, g_free);
  return paths;
}

std::string first_missing(const std::vector<std::string>& paths) {
  for (const std::string& p : paths)
    if (!g_file_test(p.c_str(), G_FILE_TEST_IS_REGULAR)) return p;
  return {};
}

// Windows keeps the dialog open and says so when a typed name does not exist.
void say_missing(GtkWidget* dialog, const std::string& path) {
  std::unique_ptr<gchar, decltype(&g_free)> name(g_filename_display_basename(path.c_str()), g_free);
  GtkWidget* box = gtk_message_dialog_new(GTK_WINDOW(dialog), GTK_DIALOG_MODAL, GTK_MESSAGE_WARNING, GTK_BUTTONS_OK,
                                          "%s\nFile not found.\nCheck the file name and try again.", name.get());
  gtk_window_set_title(GTK_WINDOW(box), gtk_window_get_title(GTK_WINDOW(dialog)));
  gtk_dialog_run(GTK_DIALOG(box));
  gtk_widget_destroy(box);
}

class gtk_file_chooser final : public file_chooser {
public:
  open_file_choice choose(const open_file_request& request) override {
    open_file_choice choice;
    if (!desktop::gtk_ready()) {
      choice.result = open_file_choice::outcome::failed;
      return choice;
    }
    GtkWindow* parent = nullptr;
    if (api32::window* owner = api32::window::from_handle(request.owner, true); owner && owner->widget())
      parent = GTK_WINDOW(owner->widget());
    GtkWidget* dialog =
        gtk_file_chooser_dialog_new(request.title.c_str(), parent, GTK_FILE_CHOOSER_ACTION_OPEN, "_Cancel",
                                    GTK_RESPONSE_CANCEL, "_Open", GTK_RESPONSE_ACCEPT, nullptr);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
    gtk_file_chooser_set_local_only(chooser, TRUE);
    gtk_file_chooser_set_select_multiple(chooser, request.allow_multiple ? TRUE : FALSE);
    for (std::size_t i = 0; i < request.filters.size(); ++i) {
      GtkFileFilter* filter = gtk_file_filter_new();
      gtk_file_filter_set_name(filter, request.filters[i].name.c_str());
      gtk_file_filter_add_custom(
          filter, static_cast<GtkFileFilterFlags>(GTK_FILE_FILTER_FILENAME | GTK_FILE_FILTER_DISPLAY_NAME),
          filter_accepts, new file_type_filter(request.filters[i]), delete_filter);
      gtk_file_chooser_add_filter(chooser, filter);  // the chooser takes the floating reference
      if (i == request.filter_index) gtk_file_chooser_set_filter(chooser, filter);
    }
    if (!request.initial_folder.empty()) gtk_file_chooser_set_current_folder(chooser, request.initial_folder.c_str());

    choice.result = open_file_choice::outcome::cancelled;
    while (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
      std::vector<std::string> paths = chosen_paths(chooser);
      if (paths.empty()) continue;
      if (request.file_must_exist) {
        if (std::string missing = first_missing(paths); !missing.empty()) {
          say_missing(dialog, missing);
          continue;
        }
      }
      choice.result = open_file_choice::outcome::chosen;
      choice.native_paths = std::move(paths);
      break;
    }
    gtk_widget_destroy(dialog);
    return choice;
  }
};

}  // namespace

std::shared_ptr<file_chooser> make_gtk_file_chooser() { return std::make_shared<gtk_file_chooser>(); }

}  // namespace api32::win32
