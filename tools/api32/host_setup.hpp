// host_setup.hpp - the reference host's services and the command line's path handling.
#pragma once

#include <filesystem>
#include <string>

namespace api32::tool {

/// The folder that holds this program.
std::filesystem::path program_folder();

/// Installs the host services: gziplib, app_path (a writable folder holding lib\rar.exe), stderr message
/// boxes. Returns false with a message when no archiver can be found for app_path.
void install_host();

/// A path from the command line (native or Windows) in the Windows form the library takes; relative native
/// paths are made absolute against the current folder.
std::string windows_path(const std::string& argument);
/// The same, for a folder: ends with "\".
std::string windows_folder(const std::string& argument);
/// The native form of a path from the command line.
std::string native_path(const std::string& argument);

/// Writes a one-line error "api32: <message>" to stderr.
void fail(const std::string& message);

}  // namespace api32::tool
