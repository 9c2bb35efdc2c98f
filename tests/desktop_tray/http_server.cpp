// http_server.cpp - the test HTTP server: a poll loop over the listening socket and its connections.
#include "http_server.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace api32::testing {

http_server::http_server() {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, 16) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (listener_ >= 0) ::close(listener_);
    listener_ = -1;
    return;
  }
  port_ = ntohs(address.sin_port);
  wake_ = ::eventfd(0, EFD_CLOEXEC);
  thread_ = std::thread([this] { serve(); });
}

http_server::~http_server() {
  if (thread_.joinable()) {
    const std::uint64_t one = 1;
    [[maybe_unused]] auto written = ::write(wake_, &one, sizeof one);
    thread_.join();
  }
  if (wake_ >= 0) ::close(wake_);
  if (listener_ >= 0) ::close(listener_);
}

void http_server::route(const std::string& path, http_reply reply) {
  std::lock_guard lock(mutex_);
  routes_[path] = std::move(reply);
}

std::string http_server::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

int http_server::requests(const std::string& path) const {
  std::lock_guard lock(mutex_);
  auto found = requests_.find(path);
  return found == requests_.end() ? 0 : found->second;
}

void http_server::serve() {
  std::map<int, std::string> clients;  // connection -> what it sent so far
  for (;;) {
    std::vector<pollfd> watched = {{wake_, POLLIN, 0}, {listener_, POLLIN, 0}};
    for (const auto& [fd, _] : clients) watched.push_back({fd, POLLIN, 0});
    if (::poll(watched.data(), watched.size(), -1) < 0) continue;
    if (watched[0].revents) break;
    if (watched[1].revents & POLLIN) {
      int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (client >= 0) clients[client];
    }
    for (std::size_t i = 2; i < watched.size(); ++i) {
      if (!watched[i].revents) continue;
      const int fd = watched[i].fd;
      char buffer[4096];
      ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n > 0) clients[fd].append(buffer, static_cast<std::size_t>(n));
      const bool complete = clients[fd].find("\r\n\r\n") != std::string::npos;
      if (complete) answer(fd, clients[fd]);
      if (complete || n <= 0) {
        ::close(fd);
        clients.erase(fd);
      }
    }
  }
  for (const auto& [fd, _] : clients) ::close(fd);
}

void http_server::answer(int client, const std::string& head) {
  // "GET /path HTTP/1.1"
  const auto start = head.find(' ');
  const auto end = start == std::string::npos ? std::string::npos : head.find(' ', start + 1);
  const std::string path = end == std::string::npos ? "" : head.substr(start + 1, end - start - 1);
  http_reply reply;
  bool found = false;
  {
    std::lock_guard lock(mutex_);
    ++requests_[path];
    if (auto it = routes_.find(path); it != routes_.end()) {
      reply = it->second;
      found = true;
    }
  }
  std::string response;
  if (!found) {
    response = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
  } else {
    const std::size_t length =
        reply.announced_length != static_cast<std::size_t>(-1) ? reply.announced_length : reply.body.size();
    response = "HTTP/1.1 200 OK\r\nContent-Type: " + reply.content_type +
               "\r\nContent-Length: " + std::to_string(length) + "\r\nConnection: close\r\n";
    for (const auto& [name, value] : reply.headers) response += name + ": " + value + "\r\n";
    response += "\r\n" + reply.body;
  }
  for (std::size_t sent = 0; sent < response.size();) {
    ssize_t n = ::send(client, response.data() + sent, response.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<std::size_t>(n);
  }
}

}  // namespace api32::testing
