// message_box.hpp - the host runtime's modal message box and the presenters that show it.
//
// The library shows a box where a failure is found (the text and title are part of each class's contract).
// Who shows it is the host's choice: a presenter. The default writes to stderr; the desktop module installs a
// GTK presenter in a GTK host; tests install a recording presenter. A box "blocks until closed": the call
// returns when the presenter returns.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace api32 {

enum class msg_icon { information, stop, exclamation, question, none };

struct message {
  std::string title;
  std::string text;
  msg_icon icon = msg_icon::information;
  friend bool operator==(const message&, const message&) = default;
};

class message_presenter {
public:
  virtual ~message_presenter() = default;
  /// Shows the box and returns when the user has closed it.
  virtual void show(const message& box) = 0;
};

/// Shows a box with one OK button through the current presenter. The default icon is the runtime's
/// (information); failures use msg_icon::stop.
void messagebox(const std::string& title, const std::string& text, msg_icon icon = msg_icon::information);

/// Installs a presenter (null restores the stderr presenter) and returns the previous one.
std::shared_ptr<message_presenter> set_message_presenter(std::shared_ptr<message_presenter> presenter);
std::shared_ptr<message_presenter> current_message_presenter();

/// Writes "title: text" as one line to stderr.
class stderr_presenter final : public message_presenter {
public:
  void show(const message& box) override;
};

/// Keeps every box for inspection; thread-safe.
class recording_presenter final : public message_presenter {
public:
  void show(const message& box) override;
  std::vector<message> boxes() const;
  void clear();

private:
  mutable std::mutex mutex_;
  std::vector<message> boxes_;
};

/// Installs a presenter for the lifetime of the guard and puts the previous one back afterwards.
class scoped_message_presenter {
public:
  explicit scoped_message_presenter(std::shared_ptr<message_presenter> presenter)
      : previous_(set_message_presenter(std::move(presenter))) {}
  ~scoped_message_presenter() { set_message_presenter(previous_); }
  scoped_message_presenter(const scoped_message_presenter&) = delete;
  scoped_message_presenter& operator=(const scoped_message_presenter&) = delete;

private:
  std::shared_ptr<message_presenter> previous_;
};

const char* to_string(msg_icon icon);

}  // namespace api32
