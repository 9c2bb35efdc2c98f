// support_zip_inspect.cpp - runs the independent readers on archives the tests write.
#include "support_zip_inspect.hpp"

#include <zlib.h>

#include <cstdio>
#include <sstream>

#include "support/test_support.hpp"

namespace zip_inspect {
namespace {

std::string quoted(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}

std::vector<std::string> split(const std::string& line, char sep) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(line);
  while (std::getline(in, part, sep)) parts.push_back(part);
  if (!line.empty() && line.back() == sep) parts.emplace_back();
  return parts;
}

std::string unhex(const std::string& hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

}  // namespace

const entry* listing::find(const std::string& name) const {
  for (const auto& e : entries)
    if (e.name == name) return &e;
  return nullptr;
}

std::vector<std::string> listing::names() const {
  std::vector<std::string> out;
  for (const auto& e : entries) out.push_back(e.name);
  return out;
}

listing python_listing(const std::string& native_zip) {
  std::string script = api32::testing::source_dir() + "/tests/zip_writer/inspect_zip.py";
  std::string output = api32::testing::run_output(std::string(api32::testing::python()) + " " + quoted(script) + " " +
                                                  quoted(native_zip) + " 2>/dev/null; echo \"exit\t$?\"");
  listing result;
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    auto f = split(line, '\t');
    if (f.size() == 2 && f[0] == "comment") {
      result.comment = unhex(f[1]);
    } else if (f.size() == 2 && f[0] == "exit") {
      result.ok = f[1] == "0";
    } else if (f.size() == 10) {
      entry e;
      e.name = f[0];
      e.flag_bits = static_cast<std::uint32_t>(std::stoul(f[1]));
      e.internal_attr = static_cast<std::uint32_t>(std::stoul(f[2]));
      e.external_attr = static_cast<std::uint32_t>(std::stoul(f[3]));
      e.date = f[4];
      e.size = std::stoull(f[5]);
      e.method = std::stoi(f[6]);
      e.crc = f[7];
      e.create_system = std::stoi(f[8]);
      e.extra_length = std::stoul(f[9]);
      result.entries.push_back(e);
    }
  }
  return result;
}

int unzip_test(const std::string& native_zip) {
  return api32::testing::run("unzip -t -q " + quoted(native_zip) + " >/dev/null 2>&1");
}

std::string zipinfo_line(const std::string& native_zip, const std::string& entry_name) {
  std::string output = api32::testing::run_output("zipinfo " + quoted(native_zip) + " 2>/dev/null");
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.size() > entry_name.size() &&
        line.compare(line.size() - entry_name.size(), entry_name.size(), entry_name) == 0 &&
        line[line.size() - entry_name.size() - 1] == ' ')
      return line;
  }
  return "";
}

std::vector<std::string> names_extracted_by(const std::string& reader, const std::string& native_zip) {
  api32::testing::temp_dir out;
  std::string zip = quoted(native_zip), into = quoted(out.path());
  std::string command;
  if (reader == "unzip")
    command = "unzip -q " + zip + " -d " + into;
  else if (reader == "bsdtar")
    command = "bsdtar -xf " + zip + " -C " + into;
  else if (reader == "7zz")
    command = "7zz x -y -bd " + zip + " -o" + into;
  else
    command = std::string(api32::testing::python()) +
              " -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' " + zip + " " + into;
  if (api32::testing::run(command + " >/dev/null 2>&1") != 0) return {};
  return api32::testing::tree(out.path());
}

std::string crc_hex(const std::string& bytes) {
  uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size()));
  char buffer[9];
  std::snprintf(buffer, sizeof buffer, "%08lx", crc);
  return buffer;
}

}  // namespace zip_inspect
