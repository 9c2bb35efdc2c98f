// scripted_chooser.hpp - a file chooser that answers from a script and remembers what it was asked.
#pragma once

#include <memory>
#include <vector>

#include "api32/desktop_win32/desktop_dialog.hpp"

namespace api32::testing {

class scripted_chooser final : public win32::file_chooser {
public:
  win32::open_file_choice answer;
  std::vector<win32::open_file_request> requests;

  win32::open_file_choice choose(const win32::open_file_request& request) override {
    requests.push_back(request);
    return answer;
  }

  void choose_paths(std::vector<std::string> native_paths) {
    answer.result = win32::open_file_choice::outcome::chosen;
    answer.native_paths = std::move(native_paths);
  }
  void cancel() { answer = {}; }
  void fail() {
    answer = {};
    answer.result = win32::open_file_choice::outcome::failed;
  }
};

/// Installs a scripted chooser for the lifetime of the object.
class scoped_chooser {
public:
  scoped_chooser() : chooser(std::make_shared<scripted_chooser>()), previous_(win32::set_file_chooser(chooser)) {}
  ~scoped_chooser() { win32::set_file_chooser(previous_); }
  scoped_chooser(const scoped_chooser&) = delete;
  scoped_chooser& operator=(const scoped_chooser&) = delete;
  scripted_chooser* operator->() const { return chooser.get(); }

  std::shared_ptr<scripted_chooser> chooser;

private:
  std::shared_ptr<win32::file_chooser> previous_;
};

}  // namespace api32::testing
