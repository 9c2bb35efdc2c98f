// message_box.cpp - presenter registry, and the stderr and recording presenters.
#include "api32/runtime/message_box.hpp"

#include <cstdio>

namespace api32 {
namespace {

std::mutex presenter_mutex;

std::shared_ptr<message_presenter>& presenter_slot() {
  static std::shared_ptr<message_presenter> slot = std::make_shared<stderr_presenter>();
  return slot;
}

}  // namespace

const char* to_string(msg_icon icon) {
  switch (icon) {
    case msg_icon::information: return "information";
    case msg_icon::stop: return "stop";
    case msg_icon::exclamation: return "exclamation";
    case msg_icon::question: return "question";
    case msg_icon::none: return "none";
  }
  return "information";
}

void messagebox(const std::string& title, const std::string& text, msg_icon icon) {
  // Take a reference under the lock, show outside it: a presenter may block for as long as the user wants.
  std::shared_ptr<message_presenter> presenter = current_message_presenter();
  presenter->show(message{title, text, icon});
}

std::shared_ptr<message_presenter> set_message_presenter(std::shared_ptr<message_presenter> presenter) {
  if (!presenter) presenter = std::make_shared<stderr_presenter>();
  std::lock_guard lock(presenter_mutex);
  std::swap(presenter_slot(), presenter);
  return presenter;
}

std::shared_ptr<message_presenter> current_message_presenter() {
  std::lock_guard lock(presenter_mutex);
  return presenter_slot();
}

void stderr_presenter::show(const message& box) {
  std::fprintf(stderr, "%s: %s\n", box.title.c_str(), box.text.c_str());
  std::fflush(stderr);
}

void recording_presenter::show(const message& box) {
  std::lock_guard lock(mutex_);
  boxes_.push_back(box);
}

std::vector<message> recording_presenter::boxes() const {
  std::lock_guard lock(mutex_);
  return boxes_;
}

void recording_presenter::clear() {
  std::lock_guard lock(mutex_);
  boxes_.clear();
}

}  // namespace api32
