// list_command.cpp - l, lt and lb: the entries of an archive as libarchive reads them, with the packed size,
// attributes and CRC their headers give.
#include <archive.h>
#include <archive_entry.h>
#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <memory>

#include "tools/rar/archive_index.hpp"
#include "tools/rar/byte_io.hpp"
#include "tools/rar/commands.hpp"

namespace rartool {
namespace {

struct archive_deleter {
  void operator()(archive* a) const { archive_read_free(a); }
};

struct listed_entry {
  std::string name;
  bool directory = false;
  bool link = false;  // a symbolic or hard link
  std::uint64_t size = 0;
  std::uint64_t packed = 0;
  std::time_t modified = 0;
  std::string attributes;
  std::optional<std::uint32_t> crc;
  bool encrypted = false;
};

// Windows attribute bits as letters (read-only, hidden, system, folder, archive); a Unix mode as Windows
// would show it.
std::string attribute_letters(const indexed_entry* index, bool directory) {
  std::uint32_t bits = 0;
  if (index && index->windows_attributes) {
    bits = index->attributes;
  } else {
    if (directory) bits |= 0x10;
    if (index && (index->attributes & 0200) == 0) bits |= 0x01;
  }
  std::string letters;
  if (bits & 0x01) letters += 'R';
  if (bits & 0x02) letters += 'H';
  if (bits & 0x04) letters += 'S';
  if ((bits & 0x10) || directory) letters += 'D';
  if (bits & 0x20) letters += 'A';
  return letters;
}

std::string local_time(std::time_t t, const char* format) {
  std::tm fields{};
  localtime_r(&t, &fields);
  char text[32];
  std::strftime(text, sizeof text, format, &fields);
  return text;
}

void print_entries(const std::vector<listed_entry>& entries, char style, const std::string& label) {
  if (style == 'b') {
    for (const auto& e : entries) std::printf("%s\n", printable(e.name).c_str());
    return;
  }
  if (style == 't') {
    std::printf("Archive: %s\n", printable(label).c_str());
    for (const auto& e : entries) {
      std::printf("\n        Name: %s\n", printable(e.name).c_str());
      std::printf("        Type: %s\n", e.directory ? "Directory" : e.link ? "Link" : "File");
      std::printf("        Size: %" PRIu64 "\n", e.size);
      std::printf(" Packed size: %" PRIu64 "\n", e.packed);
      std::printf("       Ratio: %" PRIu64 "%%\n", e.size ? e.packed * 100 / e.size : 0);
      std::printf("       mtime: %s\n", local_time(e.modified, "%Y-%m-%d %H:%M:%S").c_str());
      std::printf("  Attributes: %s\n", e.attributes.c_str());
      if (e.crc) std::printf("       CRC32: %08" PRIX32 "\n", *e.crc);
      if (e.encrypted) std::printf("   Encrypted: yes\n");
    }
    return;
  }
  std::printf("Archive: %s\n\n", printable(label).c_str());
  std::printf(" Attributes         Size     Date    Time   Name\n");
  std::printf("----------- ------------  ---------- -----  ----\n");
  std::uint64_t total = 0;
  for (const auto& e : entries) {
    total += e.size;
    std::printf(" %-10s %12" PRIu64 "  %s  %s\n", e.attributes.c_str(), e.size,
                local_time(e.modified, "%Y-%m-%d %H:%M").c_str(), printable(e.name).c_str());
  }
  std::printf("----------- ------------  ---------- -----  ----\n");
  std::printf("            %12" PRIu64 "                    %zu\n", total, entries.size());
}

}  // namespace

void run_list(const options& opt, status& st) {
  unique_fd fd = open_archive(opt, st);
  if (!fd) return;
  file_input in(fd.get());
  const archive_index index = read_index(in);
  std::unique_ptr<archive, archive_deleter> a(archive_read_new());
  archive_read_support_format_rar(a.get());
  archive_read_support_format_rar5(a.get());
  if (archive_read_open_fd(a.get(), fd.get(), 1 << 16) != ARCHIVE_OK) {
    const char* message = archive_error_string(a.get());
    st.report(exit_code::fatal,
              opt.archive + ": not a RAR archive that can be read (" + (message ? message : "unknown format") + ")");
    return;
  }
  std::vector<listed_entry> entries;
  archive_entry* e = nullptr;
  for (std::size_t ordinal = 0;; ++ordinal) {
    int r = archive_read_next_header(a.get(), &e);
    if (r == ARCHIVE_EOF) break;
    if (r < ARCHIVE_WARN) {
      const char* message = archive_error_string(a.get());
      st.report(exit_code::fatal, opt.archive + ": " + (message ? message : "damaged archive"));
      break;
    }
    // the headers in archive order, as the index read them
    const indexed_entry* indexed = ordinal < index.entries.size() ? &index.entries[ordinal] : nullptr;
    listed_entry entry;
    const char* utf8 = archive_entry_pathname_utf8(e);
    const char* raw = archive_entry_pathname(e);
    entry.name = utf8 ? utf8 : raw ? raw : "";
    entry.directory = archive_entry_filetype(e) == AE_IFDIR;
    entry.link = archive_entry_filetype(e) == AE_IFLNK || archive_entry_hardlink(e) != nullptr;
    entry.size = archive_entry_size_is_set(e) ? static_cast<std::uint64_t>(archive_entry_size(e)) : 0;
    entry.modified = archive_entry_mtime(e);
    if (indexed) {
      entry.packed = indexed->packed_size;
      entry.crc = indexed->crc;
      entry.encrypted = indexed->encrypted;
    }
    entry.attributes = attribute_letters(indexed, entry.directory);
    entries.push_back(std::move(entry));
    archive_read_data_skip(a.get());
  }
  print_entries(entries, opt.listing, opt.archive);
  // libarchive stops quietly where a cut archive ends; the headers tell that the end block never came
  if (index.version != 0 && !index.complete && st.code() == exit_code::success)
    st.report(exit_code::fatal, opt.archive + ": the archive ends before its last header");
}

}  // namespace rartool
