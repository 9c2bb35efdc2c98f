// ziplib_writer_textguess.cpp - of_internal_fa: is a file with this extension text? Two fixed lists, then
// the program the registry names to open such files.
#include <array>
#include <string>
#include <string_view>

#include "api32/runtime/registry.hpp"
#include "api32/runtime/text.hpp"
#include "api32/zip/uo_nv_ziplib.hpp"

namespace api32 {
namespace {

constexpr std::array<std::string_view, 5> text_extensions = {"TXT", "BAT", "INI", "HTM", "HTML"};
constexpr std::array<std::string_view, 7> binary_extensions = {"COM", "DLL", "EXE", "DOC", "XLS", "PBL", "PBD"};

bool listed(auto const& list, std::string_view extension) {
  for (std::string_view e : list)
    if (e == extension) return true;
  return false;
}

}  // namespace

std::int16_t uo_nv_ziplib::of_internal_fa(const std::string& as_extension) {
  std::string ls_upper = text::upper(as_extension);
  if (listed(text_extensions, ls_upper)) return 1;
  if (listed(binary_extensions, ls_upper)) return 0;

  std::string ls_lower = text::lower(as_extension);
  std::string ls_class = registry::default_value("HKEY_CLASSES_ROOT\\." + ls_lower).value_or("");
  if (ls_class.empty()) ls_class = ls_lower + "_auto_file";  // extensions the user tied to a program
  std::string ls_command =
      registry::default_value("HKEY_CLASSES_ROOT\\" + ls_class + "\\shell\\open\\command").value_or("");
  if (!ls_command.empty()) {
    // A match at the very first character does not count: the name is expected after a path or a quote.
    std::string ls_command_lower = text::lower(ls_command);
    if (text::pos(ls_command_lower, "notepad.exe") > 1 || text::pos(ls_command_lower, "wordpad.exe") > 1) return 1;
  }
  return 0;
}

}  // namespace api32
