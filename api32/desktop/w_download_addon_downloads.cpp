// w_download_addon_downloads.cpp - saving what the download window's page downloads.
//
// Data goes to a hidden partial file in the download folder and is moved to its final name, never
// replacing a file, only once it is whole; a failed or cancelled download leaves nothing behind.
#include "api32/desktop/w_download_addon_downloads.hpp"

#include <libsoup/soup.h>
#include <webkit2/webkit2.h>

#include "api32/desktop_win32/desktop_downloads.hpp"
#include "api32/host/host_services.hpp"
#include "api32/win32/paths.hpp"

namespace api32 {
namespace {

constexpr std::int64_t progress_interval_us = 100000;

host::download_event event_of(const addon_downloads::transfer& t, host::download_event::kind what) {
  host::download_event event;
  event.what = what;
  event.url = t.url;
  if (!t.folder.empty()) event.file = win32::to_windows_path(t.folder + "/" + t.name);
  if (t.download) {
    event.received = webkit_download_get_received_data_length(t.download);
    if (WebKitURIResponse* response = webkit_download_get_response(t.download))
      event.expected = webkit_uri_response_get_content_length(response);
  }
  return event;
}

// The engine reports a transfer whose connection closed early as finished: the announced length tells.
// (With a content encoding the announced length is that of the encoded data, so it proves nothing.)
bool arrived_whole(WebKitDownload* download) {
  WebKitURIResponse* response = webkit_download_get_response(download);
  if (!response) return true;
  const guint64 announced = webkit_uri_response_get_content_length(response);
  SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(response);
  const char* encoding = headers ? soup_message_headers_get_one(headers, "Content-Encoding") : nullptr;
  if (announced == 0 || (encoding && g_ascii_strcasecmp(encoding, "identity") != 0)) return true;
  return webkit_download_get_received_data_length(download) == announced;
}

void report(const host::download_event& event) {
  const auto& listener = host::globals().download_progress;
  if (listener) listener(event);
}

}  // namespace

struct downloads_glue {
  static void started(WebKitWebContext*, WebKitDownload* download, gpointer self) {
    static_cast<addon_downloads*>(self)->started(download);
  }
  static gboolean decide_destination(WebKitDownload*, gchar* suggested, gpointer data) {
    auto* t = static_cast<addon_downloads::transfer*>(data);
    return t->owner->decide_destination(*t, suggested) ? TRUE : FALSE;
  }
  static void received(WebKitDownload*, guint64, gpointer data) {
    auto* t = static_cast<addon_downloads::transfer*>(data);
    t->owner->progress(*t);
  }
  static void failed(WebKitDownload*, GError* error, gpointer data) {
    auto* t = static_cast<addon_downloads::transfer*>(data);
    t->failed = true;
    if (t->error.empty()) t->error = error ? error->message : "download failed";
  }
  static void finished(WebKitDownload*, gpointer data) {
    auto* t = static_cast<addon_downloads::transfer*>(data);
    t->owner->finished(*t);
  }
};

addon_downloads::addon_downloads(WebKitWebView* view) : view_(view), context_(webkit_web_view_get_context(view)) {
  g_object_ref(context_);
  started_handler_ = g_signal_connect(context_, "download-started", G_CALLBACK(downloads_glue::started), this);
}

addon_downloads::~addon_downloads() {
  g_signal_handler_disconnect(context_, started_handler_);
  g_object_unref(context_);
  for (auto& t : transfers_) {
    if (t.cleanup_source != 0) g_source_remove(t.cleanup_source);
    g_signal_handlers_disconnect_by_data(t.download, &t);
    if (!t.done) {
      webkit_download_cancel(t.download);
      if (!t.partial.empty()) win32::remove_partial_file(t.partial);
      report_failure(t, "cancelled: the download window was destroyed");
    }
    g_object_unref(t.download);
  }
}

void addon_downloads::started(WebKitDownload* download) {
  if (webkit_download_get_web_view(download) != view_) return;  // another window's download
  transfer& t = transfers_.emplace_back();
  t.owner = this;
  t.download = WEBKIT_DOWNLOAD(g_object_ref(download));
  WebKitURIRequest* request = webkit_download_get_request(download);
  t.url = request ? webkit_uri_request_get_uri(request) : "";
  g_signal_connect(download, "decide-destination", G_CALLBACK(downloads_glue::decide_destination), &t);
  g_signal_connect(download, "received-data", G_CALLBACK(downloads_glue::received), &t);
  g_signal_connect(download, "failed", G_CALLBACK(downloads_glue::failed), &t);
  g_signal_connect(download, "finished", G_CALLBACK(downloads_glue::finished), &t);
}

bool addon_downloads::decide_destination(transfer& t, const char* suggested) {
  t.name = win32::safe_download_name(suggested ? suggested : "");
  auto folder = win32::prepare_download_folder(host::globals().download_folder);
  auto partial = folder ? win32::create_partial_file(*folder, t.name) : std::nullopt;
  if (!partial) {
    t.error = "the download folder cannot take the file";
    webkit_download_cancel(t.download);
    return true;
  }
  t.folder = *folder;
  t.partial = *partial;
  gchar* uri = g_filename_to_uri(t.partial.c_str(), nullptr, nullptr);
  webkit_download_set_allow_overwrite(t.download, TRUE);  // the partial file is ours, made just now
  webkit_download_set_destination(t.download, uri);
  g_free(uri);
  t.last_report_us = g_get_monotonic_time();
  report(event_of(t, host::download_event::kind::started));
  return true;
}

void addon_downloads::progress(transfer& t) {
  const std::int64_t now = g_get_monotonic_time();
  if (now - t.last_report_us < progress_interval_us) return;
  t.last_report_us = now;
  report(event_of(t, host::download_event::kind::progress));
}

void addon_downloads::finished(transfer& t) {
  t.done = true;
  if (!t.failed && !arrived_whole(t.download)) {
    t.failed = true;
    t.error = "the connection closed before the whole file arrived";
  }
  if (!t.failed && !t.partial.empty()) {
    if (auto final_path = win32::commit_download(t.partial, t.folder, t.name)) {
      host::download_event event = event_of(t, host::download_event::kind::finished);
      event.file = win32::to_windows_path(*final_path);
      report(event);
      forget(t);
      return;
    }
    t.error = "the file cannot be moved to its name in the download folder";
  }
  if (!t.partial.empty()) win32::remove_partial_file(t.partial);
  report_failure(t, t.error.empty() ? "download failed" : t.error);
  forget(t);
}

void addon_downloads::report_failure(transfer& t, const std::string& error) {
  host::download_event event = event_of(t, host::download_event::kind::failed);
  event.error = error;
  report(event);
}

void addon_downloads::forget(transfer& t) {
  // Called from the download's own signal: the record and its reference go once the emission is over.
  g_signal_handlers_disconnect_by_data(t.download, &t);
  struct later {
    addon_downloads* owner;
    transfer* record;
  };
  t.cleanup_source = g_idle_add_full(
      G_PRIORITY_DEFAULT_IDLE,
      [](gpointer data) -> gboolean {
        auto* l = static_cast<later*>(data);
        auto& list = l->owner->transfers_;
        for (auto it = list.begin(); it != list.end(); ++it) {
          if (&*it != l->record) continue;
          g_object_unref(it->download);
          list.erase(it);
          break;
        }
        return G_SOURCE_REMOVE;
      },
      new later{this, &t}, [](gpointer data) { delete static_cast<later*>(data); });
}

}  // namespace api32
