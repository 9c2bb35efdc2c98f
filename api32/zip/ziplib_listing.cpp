// ziplib_listing.cpp - the archive listing: one tab-separated row per file entry (name, file type, date and
// time, size, ratio, compressed size, attributes, folder, full name), rows joined by CR LF, and the cu variant
// that also fills a d_zipfiles table and can extract each entry below a base folder.
#include <cctype>
#include <unordered_map>

#include "api32/host/extraction_report.hpp"
#include "api32/host/host_services.hpp"
#include "api32/runtime/message_box.hpp"
#include "api32/runtime/registry.hpp"
#include "api32/runtime/text.hpp"
#include "api32/zip/uo_nv_ziplib.hpp"
#include "api32/zip/ziplib_entry_problem.hpp"
#include "api32/zip/ziplib_extraction_walk.hpp"

namespace api32 {

struct uo_nv_ziplib::entry_text {
  std::string ls_fullname;
  std::string ls_filepath;
  std::string ls_filename;
  std::string ls_filetype;
  std::string ls_datetime;
  std::string ls_attrib;
  decimal ldec_ratio;
  unz_fileinfo lstr_info;
};

namespace {

void append_digits(std::string& out, int value, int digits) {
  char buffer[4];
  for (int i = digits - 1; i >= 0; --i, value /= 10) buffer[i] = static_cast<char>('0' + value % 10);
  out.append(buffer, static_cast<std::size_t>(digits));
}

// "yyyy-mm-dd hh:mm:ss", written directly: this runs once per entry. The host's date and time functions give
// 1900-01-01 and 00:00:00 for values the calendar does not have (a DOS date with month 0, seconds 60 and 62).
std::string entry_datetime(const tm_unz& t) {
  date day{t.tm_year, t.tm_mon + 1, t.tm_mday};
  time clock{t.tm_hour, t.tm_min, t.tm_sec, 0};
  if (!day.valid()) day = date{};
  if (!clock.valid()) clock = time{};
  std::string text;
  text.reserve(19);
  append_digits(text, day.year, 4);
  text += '-';
  append_digits(text, day.month, 2);
  text += '-';
  append_digits(text, day.day, 2);
  text += ' ';
  append_digits(text, clock.hour, 2);
  text += ':';
  append_digits(text, clock.minute, 2);
  text += ':';
  append_digits(text, clock.second, 2);
  return text;
}

// The text without the blanks at both ends, as the host's Trim gives it, without a copy.
std::string_view trimmed(std::string_view s) {
  std::size_t first = s.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// True when the entry's normalised name (backslashes, one leading backslash removed) stays below the folder
// it is extracted to: no ".." component (nor one Windows would read as "..", such as ".. " or "..."), no
// drive, no leading separator.
bool stays_below_base(const std::string& name) {
  if (name.empty() || name.front() == '\\' || name.front() == '/') return false;
  if (name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0]))) return false;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find_first_of("\\/", start);
    if (end == std::string::npos) end = name.size();
    std::string_view part(name.data() + start, end - start);
    if (part.find("..") != std::string_view::npos && part.find_first_not_of(". ") == std::string_view::npos)
      return false;
    start = end + 1;
  }
  return true;
}

// Keeps the file types of one listing walk, and forgets them however the walk ends.
struct file_type_scope {
  std::unordered_map<std::string, std::string> file_types;
  std::unordered_map<std::string, std::string>*& slot;
  explicit file_type_scope(std::unordered_map<std::string, std::string>*& where) : slot(where) { slot = &file_types; }
  ~file_type_scope() { slot = nullptr; }
  file_type_scope(const file_type_scope&) = delete;
  file_type_scope& operator=(const file_type_scope&) = delete;
};

// Makes a whole-archive extraction the one in progress, and forgets it however the walk ends.
template <class Walk>
struct walk_scope {
  Walk*& slot;
  walk_scope(Walk*& where, Walk* walk) : slot(where) { slot = walk; }
  ~walk_scope() { slot = nullptr; }
  walk_scope(const walk_scope&) = delete;
  walk_scope& operator=(const walk_scope&) = delete;
};

std::string build_row(const std::string& filename, const std::string& filetype, const std::string& when,
                      const unz_fileinfo& info, const decimal& ratio, const std::string& attributes,
                      const std::string& filepath, const std::string& fullname) {
  std::string row;
  row.reserve(filename.size() + filetype.size() + filepath.size() + fullname.size() + 64);
  row += trimmed(filename);
  row += '\t';
  row += trimmed(filetype);
  row += '\t';
  row += when;
  row += '\t';
  row += std::to_string(info.uncompressed_size);
  row += '\t';
  row += ratio.to_string();
  row += '\t';
  row += std::to_string(info.compressed_size);
  row += '\t';
  row += trimmed(attributes);
  row += '\t';
  row += trimmed(filepath);
  row += '\t';
  row += trimmed(fullname);
  return row;
}

}  // namespace

// Separators and the point are ASCII, which never occurs inside a multi-byte character, so the byte
// positions found below split the names exactly where lastpos and the character functions would.
std::string uo_nv_ziplib::file_type_of(const std::string& as_filename) {
  std::size_t point = as_filename.rfind('.');
  if (point == std::string::npos) return "File";
  std::string extension = as_filename.substr(point + 1);
  if (listing_file_types_) {
    if (auto found = listing_file_types_->find(extension); found != listing_file_types_->end()) return found->second;
  }
  std::string ls_filetype;
  std::string ls_regkey = registry::default_value("HKEY_CLASSES_ROOT\\" + text::lower("." + extension)).value_or("");
  if (!ls_regkey.empty()) ls_filetype = registry::default_value("HKEY_CLASSES_ROOT\\" + ls_regkey).value_or("");
  if (ls_filetype.empty()) ls_filetype = text::upper(extension) + " File";
  if (listing_file_types_) listing_file_types_->emplace(extension, ls_filetype);
  return ls_filetype;
}

// Steps shared by both variants: the entry's name split into folder and name, its type, ratio, date and
// attributes. ls_filename comes back empty for a folder entry, and when there is no entry to describe (a
// row of blanks built from untouched buffers would list an entry that does not exist).
void uo_nv_ziplib::describe_current_entry(std::uint32_t aul_unzfile, entry_text& entry) {
  // the comment buffer is never read here: kept between entries, so a listing does not allocate it each time
  thread_local std::string comment_buffer;
  comment_buffer.assign(500, ' ');
  std::string extra_buffer;
  std::string& name_buffer = entry.ls_fullname;
  name_buffer.assign(256, ' ');
  if (unzgetcurrentfileinfo(aul_unzfile, entry.lstr_info, name_buffer, 256, extra_buffer, 0, comment_buffer, 500) !=
      unz_ok) {
    entry.ls_filename.clear();
    return;
  }

  std::string ls_temp = of_replaceall(entry.ls_fullname, "/", "\\");
  std::size_t separator = ls_temp.rfind('\\');
  if (separator == std::string::npos) {
    entry.ls_filename = std::move(ls_temp);
    entry.ls_filepath.clear();
  } else {
    entry.ls_filename = entry.ls_fullname.substr(separator + 1);
    ls_temp.resize(separator + 1);
    entry.ls_filepath = std::move(ls_temp);
  }
  if (entry.ls_filename.empty()) return;

  entry.ls_filetype = file_type_of(entry.ls_filename);
  const unz_fileinfo& info = entry.lstr_info;
  entry.ldec_ratio = info.uncompressed_size > 0 ? decimal::from_double(static_cast<double>(info.compressed_size) /
                                                                       static_cast<double>(info.uncompressed_size))
                                                : decimal(0);
  entry.ls_datetime = entry_datetime(info.tmu_date);
  entry.ls_attrib.clear();
  if (of_getbit(info.external_fa, 1)) entry.ls_attrib += "R";
  if (of_getbit(info.external_fa, 2)) entry.ls_attrib += "H";
  if (of_getbit(info.external_fa, 3)) entry.ls_attrib += "S";
  if (of_getbit(info.external_fa, 6)) entry.ls_attrib += "A";
}

std::string uo_nv_ziplib::of_unzgetcurrentfileinfo(std::uint32_t aul_unzfile) {
  entry_text entry;
  describe_current_entry(aul_unzfile, entry);
  if (entry.ls_filename.empty()) return "";
  return build_row(entry.ls_filename, entry.ls_filetype, entry.ls_datetime, entry.lstr_info, entry.ldec_ratio,
                   entry.ls_attrib, entry.ls_filepath, entry.ls_fullname);
}

std::string uo_nv_ziplib::of_cuunzgetcurrentfileinfo(std::uint32_t aul_unzfile, datastore& ads,
                                                     const std::string& as_basedir, bool ab_extract) {
  entry_text entry;
  describe_current_entry(aul_unzfile, entry);
  if (entry.ls_filename.empty()) return "";

  std::int32_t ll_row = ads.insertrow(0);
  auto& core = *host::globals().gnv_core;
  std::string ls_filepath = core.of_globalreplace(entry.ls_filepath, "/", "\\");
  std::string ls_fullname = core.of_globalreplace(entry.ls_fullname, "/", "\\");
  if (!ls_filepath.empty() && ls_filepath.front() == '\\') ls_filepath.erase(0, 1);
  if (!ls_filepath.empty() && ls_filepath.back() != '\\') ls_filepath += '\\';
  if (!ls_fullname.empty() && ls_fullname.front() == '\\') ls_fullname.erase(0, 1);
  ads.setitem(ll_row, "filename", std::string(trimmed(entry.ls_filename)));
  ads.setitem(ll_row, "filepath", std::string(trimmed(ls_filepath)));
  ads.setitem(ll_row, "fullname", std::string(trimmed(ls_fullname)));

  std::string row = build_row(entry.ls_filename, entry.ls_filetype, entry.ls_datetime, entry.lstr_info,
                              entry.ldec_ratio, entry.ls_attrib, ls_filepath, ls_fullname);
  if (ab_extract) {
    // every entry not written is reported to the host, with the reason
    std::string skipped;
    if (!stays_below_base(ls_fullname))
      skipped = "unsafe name (absolute, with a drive or \"..\"), not extracted";
    else if (extraction_walk_ && !extraction_walk_->refusal.empty())
      skipped = extraction_walk_->refusal;
    else if (!of_cuextractfile(aul_unzfile, ls_fullname, as_basedir + ls_filepath + entry.ls_filename,
                               as_basedir + ls_filepath))
      skipped = zipentry::extraction_failure(aul_unzfile);
    if (!skipped.empty())
      host::report_entry_not_extracted(extraction_walk_ ? extraction_walk_->archive : std::string(), entry.ls_fullname,
                                       skipped);
  }
  return row;
}

std::string uo_nv_ziplib::of_dwdirectory(const std::string& as_filename) {
  std::uint32_t lul_unzfile = of_unzopen(as_filename);
  if (lul_unzfile == 0) {
    messagebox("Ziplib Error in of_dwdirectory", "Unable to open the zip archive file!", msg_icon::stop);
    return "";
  }
  file_type_scope file_types(listing_file_types_);
  std::string listing;
  for (std::int16_t li_rc = of_unzgotofirstfile(lul_unzfile); li_rc == 0; li_rc = of_unzgotonextfile(lul_unzfile)) {
    std::string ls_rowdata = of_unzgetcurrentfileinfo(lul_unzfile);
    if (ls_rowdata.empty()) continue;
    if (!listing.empty()) listing += "\r\n";
    listing += ls_rowdata;
  }
  of_unzclose(lul_unzfile);
  return listing;
}

std::string uo_nv_ziplib::of_cudwdirectory(const std::string& as_filename, datastore& ads,
                                           const std::string& as_basedir, bool ab_extract) {
  std::uint32_t lul_unzfile = of_unzopen(as_filename);
  if (lul_unzfile == 0) {
    messagebox("Ziplib Error in of_dwdirectory", "Unable to open the zip archive file!", msg_icon::stop);
    return "";
  }
  file_type_scope file_types(listing_file_types_);
  extraction_walk walk{as_filename, as_basedir, {}, {}, {}, {}};
  walk_scope walking(extraction_walk_, ab_extract ? &walk : nullptr);
  if (ab_extract) check_extraction_budget(lul_unzfile);
  std::string listing;
  for (std::int16_t li_rc = of_unzgotofirstfile(lul_unzfile); li_rc == 0; li_rc = of_unzgotonextfile(lul_unzfile)) {
    if (walk.progress) walk.progress->start_entry(zipentry::current_entry_name(lul_unzfile).value_or(""));
    std::string ls_rowdata = of_cuunzgetcurrentfileinfo(lul_unzfile, ads, as_basedir, ab_extract);
    if (walk.progress) walk.progress->entry_done();
    if (ls_rowdata.empty()) continue;
    if (!listing.empty()) listing += "\r\n";
    listing += ls_rowdata;
  }
  of_unzclose(lul_unzfile);
  return listing;
}

}  // namespace api32
