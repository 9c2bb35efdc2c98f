// child.cpp - the one helper program of the process tests. Each argument is an action, done in order:
//   out FILE      report lines go to FILE (appended) instead of standard output
//   exit N        exit now with code N
//   sleep MS      sleep MS milliseconds
//   ignore-term   ignore SIGTERM from now on
//   print-pid | print-cwd | print-nice | print-env | print-fds
//                 report "pid=", "cwd=", "nice=", one "env=" per variable, one "fd=" per open descriptor
//   print-args    report one "arg=" per argument, argv[0] first, and stop: what follows is payload
// Other arguments are skipped, so the helper can stand in for a program that takes options of its own.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

extern char** environ;

namespace {

int report_fd = STDOUT_FILENO;

void report(const std::string& key, const std::string& value) {
  std::string line = key + "=" + value + "\n";
  const char* p = line.data();
  std::size_t left = line.size();
  while (left > 0) {
    ssize_t n = ::write(report_fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) std::exit(120);
    p += n;
    left -= static_cast<std::size_t>(n);
  }
}

void sleep_ms(long ms) {
  timespec t{ms / 1000, (ms % 1000) * 1000000L};
  while (::nanosleep(&t, &t) != 0 && errno == EINTR) {
  }
}

void report_descriptors() {
  DIR* dir = ::opendir("/proc/self/fd");
  if (dir == nullptr) std::exit(121);
  int own = ::dirfd(dir);
  while (dirent* e = ::readdir(dir)) {
    if (e->d_name[0] == '.') continue;
    int fd = std::atoi(e->d_name);
    if (fd != own && fd != report_fd) report("fd", e->d_name);
  }
  ::closedir(dir);
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::string action = argv[i];
    bool has_value = i + 1 < argc;
    if (action == "out" && has_value) {
      report_fd = ::open(argv[++i], O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
      if (report_fd < 0) return 122;
    } else if (action == "exit" && has_value) {
      return std::atoi(argv[++i]);
    } else if (action == "sleep" && has_value) {
      sleep_ms(std::atol(argv[++i]));
    } else if (action == "ignore-term") {
      ::signal(SIGTERM, SIG_IGN);
    } else if (action == "print-pid") {
      report("pid", std::to_string(::getpid()));
    } else if (action == "print-cwd") {
      char buffer[4096];
      report("cwd", ::getcwd(buffer, sizeof buffer) ? buffer : "?");
    } else if (action == "print-nice") {
      errno = 0;
      int nice = ::getpriority(PRIO_PROCESS, 0);
      report("nice", errno == 0 ? std::to_string(nice) : "?");
    } else if (action == "print-env") {
      for (char** e = environ; *e; ++e) report("env", *e);
    } else if (action == "print-fds") {
      report_descriptors();
    } else if (action == "print-args") {
      for (int k = 0; k < argc; ++k) report("arg", argv[k]);
      break;
    }
  }
  return 0;
}
