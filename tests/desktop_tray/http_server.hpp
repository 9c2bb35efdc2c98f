// http_server.hpp - a small HTTP/1.1 server on 127.0.0.1 for the download window's tests: fixed replies
// by path, one request per connection, every request recorded.
#pragma once

#include <atomic>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace api32::testing {

struct http_reply {
  std::string content_type = "text/html; charset=utf-8";
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;
  /// Content-Length to announce when it is not the body's size: the connection closes after the body, so
  /// a larger value makes a transfer that breaks off.
  std::size_t announced_length = static_cast<std::size_t>(-1);
};

class http_server {
public:
  /// Listens on a free port of 127.0.0.1 and serves from a thread of its own.
  http_server();
  ~http_server();
  http_server(const http_server&) = delete;
  http_server& operator=(const http_server&) = delete;

  bool listening() const { return listener_ >= 0; }
  /// Serves `reply` for `path` (the query is part of the path); other paths get 404.
  void route(const std::string& path, http_reply reply);
  std::string url(const std::string& path) const;
  /// How many requests asked for `path`.
  int requests(const std::string& path) const;

private:
  void serve();
  void answer(int client, const std::string& head);

  int listener_ = -1;
  int wake_ = -1;
  int port_ = 0;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::map<std::string, http_reply> routes_;
  std::map<std::string, int> requests_;
};

}  // namespace api32::testing
