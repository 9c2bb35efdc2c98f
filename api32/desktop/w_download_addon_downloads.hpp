// w_download_addon_downloads.hpp - the downloads of one web view: where they go, their progress, and the
// move into place when they are whole (internal to the download window).
#pragma once

#include <cstdint>
#include <list>
#include <string>

typedef struct _WebKitWebView WebKitWebView;
typedef struct _WebKitDownload WebKitDownload;
typedef struct _WebKitWebContext WebKitWebContext;

namespace api32 {

class addon_downloads {
public:
  /// Takes over the downloads that `view` starts.
  explicit addon_downloads(WebKitWebView* view);
  /// Cancels the downloads still running and removes their partial files.
  ~addon_downloads();
  addon_downloads(const addon_downloads&) = delete;
  addon_downloads& operator=(const addon_downloads&) = delete;

  struct transfer {
    addon_downloads* owner = nullptr;
    WebKitDownload* download = nullptr;
    std::string url;
    std::string folder;   ///< native
    std::string name;     ///< the safe file name
    std::string partial;  ///< native path of the file receiving the data; empty until chosen
    std::string error;
    bool failed = false;
    bool done = false;
    std::int64_t last_report_us = 0;
    unsigned cleanup_source = 0;  ///< the idle that drops the record once it is finished
  };

private:
  friend struct downloads_glue;
  void started(WebKitDownload* download);
  bool decide_destination(transfer& t, const char* suggested);
  void progress(transfer& t);
  void finished(transfer& t);
  void report_failure(transfer& t, const std::string& error);
  void forget(transfer& t);

  WebKitWebView* view_;
  WebKitWebContext* context_;
  unsigned long started_handler_ = 0;
  std::list<transfer> transfers_;
};

}  // namespace api32
