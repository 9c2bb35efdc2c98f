// w_download_addon_browser.cpp - the download window's browser control: a WebKit web view that keeps new
// windows in itself and hands downloads to addon_downloads.
#include <libsoup/soup.h>
#include <webkit2/webkit2.h>

#include <cctype>

#include "api32/desktop/w_download_addon.hpp"
#include "api32/desktop/w_download_addon_downloads.hpp"
#include "api32/desktop_win32/gtk_session.hpp"
#include "api32/win32/paths.hpp"

namespace api32 {
namespace {

bool ends_with_no_case(const std::string& text, const char* suffix) {
  const std::string end = suffix;
  if (text.size() < end.size()) return false;
  for (std::size_t i = 0; i < end.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[text.size() - end.size() + i])) != end[i]) return false;
  return true;
}

// The path of a URL without its query and fragment, for its extension.
std::string url_path(const char* uri) {
  GUri* parsed = uri ? g_uri_parse(uri, G_URI_FLAGS_NONE, nullptr) : nullptr;
  if (!parsed) return "";
  std::string path = g_uri_get_path(parsed);
  g_uri_unref(parsed);
  return path;
}

bool is_attachment(WebKitURIResponse* response) {
  SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(response);
  char* disposition = nullptr;
  if (!headers || !soup_message_headers_get_content_disposition(headers, &disposition, nullptr)) return false;
  const bool attachment = g_ascii_strcasecmp(disposition, "attachment") == 0;
  g_free(disposition);
  return attachment;
}

// Downloads: add-on archives by their name, anything the view cannot show, anything sent as an attachment.
bool should_download(WebKitResponsePolicyDecision* decision) {
  WebKitURIResponse* response = webkit_response_policy_decision_get_response(decision);
  const std::string path = url_path(webkit_uri_response_get_uri(response));
  return ends_with_no_case(path, ".zip") || ends_with_no_case(path, ".rar") || is_attachment(response) ||
         !webkit_response_policy_decision_is_mime_type_supported(decision);
}

gboolean decide_policy(WebKitWebView* view, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type, gpointer) {
  if (type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) {
    // The page stays in this window: what it wanted to open in a new one loads here.
    WebKitNavigationAction* action =
        webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    webkit_web_view_load_request(view, webkit_navigation_action_get_request(action));
    webkit_policy_decision_ignore(decision);
    return TRUE;
  }
  if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE && should_download(WEBKIT_RESPONSE_POLICY_DECISION(decision))) {
    webkit_policy_decision_download(decision);
    return TRUE;
  }
  return FALSE;  // the view's own behaviour
}

// A new window the page opens by script loads in this view too.
GtkWidget* create_web_view(WebKitWebView* view, WebKitNavigationAction* action, gpointer) {
  webkit_web_view_load_request(view, webkit_navigation_action_get_request(action));
  return nullptr;
}

bool has_scheme(const std::string& url) {
  const auto colon = url.find(':');
  if (colon == std::string::npos || colon < 2) return false;  // "C:\..." is a drive, not a scheme
  if (!std::isalpha(static_cast<unsigned char>(url[0]))) return false;
  for (std::size_t i = 1; i < colon; ++i) {
    const char c = url[i];
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return false;
  }
  return true;
}

}  // namespace

browser_control::browser_control() {
  if (!desktop::gtk_ready()) return;
  view_ = webkit_web_view_new();
  g_object_ref_sink(view_);  // ours until the destructor, wherever it is placed
  g_signal_connect(view_, "decide-policy", G_CALLBACK(decide_policy), nullptr);
  g_signal_connect(view_, "create", G_CALLBACK(create_web_view), nullptr);
  downloads_ = std::make_unique<addon_downloads>(WEBKIT_WEB_VIEW(view_));
}

browser_control::~browser_control() {
  downloads_.reset();
  if (!view_) return;
  gtk_widget_destroy(view_);
  g_object_unref(view_);
}

std::string browser_control::complete_address(const std::string& url) {
  if (url.empty() || has_scheme(url)) return url;
  const bool drive = url.size() >= 2 && std::isalpha(static_cast<unsigned char>(url[0])) && url[1] == ':';
  if (drive || url[0] == '\\' || url[0] == '/') {
    auto native = win32::to_native_path(url);
    gchar* uri = native ? g_filename_to_uri(native->c_str(), nullptr, nullptr) : nullptr;
    if (uri) {
      std::string file_url = uri;
      g_free(uri);
      return file_url;
    }
  }
  return "http://" + url;
}

void browser_control::navigate(const std::string& url) {
  navigated_ = complete_address(url);
  if (view_) webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view_), navigated_.empty() ? "about:blank" : navigated_.c_str());
}

}  // namespace api32
