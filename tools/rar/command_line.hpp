// command_line.hpp - how the archiver reads its command line.
//
// The archiver splits its command line itself: blanks separate arguments, a quotation mark toggles quoting,
// two quotation marks inside quotes stand for one, and a backslash is an ordinary character, so "E:\" is the
// folder E:\. Programs started through the Win32 layer also find their raw command line in API32_CMDLINE; it
// is used only when splitting it by the Windows rules gives back the arguments the program received.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace rartool {

/// Splits arguments by the archiver's rules (a quote toggles, "" inside quotes is one quote, no escapes).
std::vector<std::string> split_rar_arguments(std::string_view text);
/// The text after the program name of a raw command line (the name ends at a blank outside quotes).
std::string_view after_program_name(std::string_view command_line);

/// The arguments to work with (program name excluded): those of the raw command line split by the
/// archiver's rules when `raw` is present and splitting it by the Windows rules gives back `argv`'s
/// arguments, else `argv`'s.
std::vector<std::string> effective_arguments(const std::vector<std::string>& argv, const char* raw);

enum class overwrite_mode { ask, always, never };

struct options {
  char command = 0;  // 'x' extract with paths, 'a' add, 'l' list
  char listing = 0;  // l: 'l' a table, 't' technical (one field a line), 'b' bare names
  bool recurse = false;
  overwrite_mode overwrite = overwrite_mode::ask;
  int priority = 0;        // -ri<n>: 0 (default) to 15
  int sleep_ms = 0;        // -ri<n>:<ms>
  std::string inner_path;  // -ap<path>: folder inside the archive
  std::string archive;
  std::vector<std::string> masks;          // "*" when none were given
  std::optional<std::string> destination;  // x: the last argument when it ends with a separator or is ""
};

struct usage_error {
  std::string message;
};

/// Reads the command and switches. Switches may stand anywhere before "--"; letters are case-insensitive.
std::variant<options, usage_error> parse_options(const std::vector<std::string>& arguments);

}  // namespace rartool
