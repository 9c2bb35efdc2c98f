// w_download_addon.hpp - the add-on download window: a web browser over the settings window, opened on the
// add-on page of the current game or on an address the host gives it.
//
// The window has a title bar with the usual window menu and carries the application's icon (GTK's default
// window icon, which the host sets for all its windows). The browser is a WebKit web view. Beyond showing pages it
// keeps the user inside the window (a request to open a new window loads in the same view) and saves what a page
// downloads (a .zip or .rar add-on, a response it cannot show, an attachment) into the host's download folder,
// reporting to the host.
#pragma once

#include <memory>
#include <string>

#include "api32/desktop/w_settings.hpp"

namespace api32 {

class addon_downloads;

/// The window's browser control (it takes the place of the WebBrowser control).
class browser_control {
public:
  browser_control();
  ~browser_control();
  browser_control(const browser_control&) = delete;
  browser_control& operator=(const browser_control&) = delete;

  /// The WebKitWebView, or null without a display.
  GtkWidget* widget() const { return view_; }
  /// The control's Navigate: loads `url`. An address without a scheme is completed as the WebBrowser
  /// control completes it: a Windows or native path becomes a file URL, anything else gets "http://".
  void navigate(const std::string& url);
  /// The address the last navigate() loaded (also kept without a display).
  const std::string& navigated_url() const { return navigated_; }

  /// The address navigate() loads for `url`.
  static std::string complete_address(const std::string& url);

private:
  GtkWidget* view_ = nullptr;
  std::string navigated_;
  std::unique_ptr<addon_downloads> downloads_;
};

class w_download_addon : public w_settings {
public:
  /// The title the window has until it opens.
  static constexpr const char* design_title = "[APP_NAME]";
  static constexpr int width_units = 3575;
  static constexpr int height_units = 2788;
  static constexpr placement ole_ie_placement{0, 0, 3552, 2692};

  /// Builds the window ("[APP_NAME]" until it opens) with the inherited buttons and, above them, ole_ie.
  w_download_addon();

  browser_control ole_ie;

protected:
  /// The ancestor's open, then the page (the opening text, or app_addon_url when it is empty), then the
  /// title: tr2(opening text) + " - " + game_name.
  void open_event() override;
};

}  // namespace api32
