// cmdline.hpp - Windows command lines: splitting one into arguments and building one from arguments, by the
// rules the Windows C runtime applies to GetCommandLine when it fills argv.
//
// The program name (first argument) ends at the first blank or tab outside quotes; quotes in it only switch
// quoting on and off, and backslashes are plain characters. In the arguments after it:
//   - blanks and tabs outside quotes separate arguments;
//   - 2n backslashes followed by a quote give n backslashes, and the quote switches quoting;
//   - 2n+1 backslashes followed by a quote give n backslashes and a literal quote;
//   - backslashes not followed by a quote are kept as they are;
//   - inside quotes, a doubled quote gives one literal quote and quoting goes on.
// Nothing else is special: no shell runs, so ; $() ` | & > reach the program as they are.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace api32::win32 {

/// The arguments of a Windows command line, the program name first. An empty line gives no arguments; a line
/// that starts with a blank gives an empty program name, as the C runtime does.
std::vector<std::string> split_command_line(std::string_view command_line);

/// A command line that split_command_line turns back into `arguments`. The program name is quoted when it
/// holds a blank or a tab (it cannot hold a quote: such a name has no spelling). Each further argument is
/// written as it is when it needs no quoting, else inside quotes with its quotes and the backslashes before
/// them escaped.
std::string build_command_line(const std::vector<std::string>& arguments);

}  // namespace api32::win32
