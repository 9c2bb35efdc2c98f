// ziplib_extraction.cpp - entry extraction: to a file by name or the current entry (through the confined
// writer, missing folders created, data copied in blocks of 8192 bytes), or into memory.
#include <cstring>

#include "api32/host/extraction_report.hpp"
#include "api32/runtime/message_box.hpp"
#include "api32/runtime/text.hpp"
#include "api32/win32/files_confined.hpp"
#include "api32/win32/paths.hpp"
#include "api32/zip/uo_nv_ziplib.hpp"
#include "api32/zip/ziplib_entry_problem.hpp"
#include "api32/zip/ziplib_extraction_walk.hpp"

namespace api32 {
namespace {

constexpr std::uint32_t block_size = 8192;

}  // namespace

win32::confined_folder* uo_nv_ziplib::extraction_walk::confined() {
  if (!folder && folder_error.empty()) folder = win32::open_confined_base(base, folder_error);
  return folder.get();
}

// Copies the current entry into `as_filepath`: true only when the whole entry was read and its CRC matched.
// The data goes to a temporary in the target's folder that replaces the target only then, so a failure never
// leaves a partial file, nor a half-overwritten old one; why it failed is kept for extraction_failure.
bool uo_nv_ziplib::extract_current_entry(std::uint32_t aul_unzfile, const std::string& as_filename,
                                         const std::string& as_filepath) {
  auto refuse = [&](std::string reason) {
    zipentry::note_extraction_failure(aul_unzfile, std::move(reason));
    return false;
  };
  auto entry_problem = [&] {
    auto problem = zipentry::current_entry_problem(aul_unzfile);
    return refuse(problem == zipentry::entry_problem::none ? "the data cannot be read whole"
                                                           : zipentry::describe(problem));
  };
  zipentry::note_extraction_failure(aul_unzfile, "");
  win32::confined_target target = win32::split_confined_target(as_filepath, as_filename);
  if (!target.refusal.empty()) return refuse(target.refusal);

  std::unique_ptr<win32::confined_folder> own_folder;
  win32::confined_folder* folder = nullptr;
  std::string folder_error;
  if (extraction_walk_ && extraction_walk_->base == target.base) {
    folder = extraction_walk_->confined();
    folder_error = extraction_walk_->folder_error;
  } else {
    own_folder = win32::open_confined_base(target.base, folder_error);
    folder = own_folder.get();
  }
  const auto policy = host::existing_files();
  if (folder && policy == host::existing_file_policy::keep_newer) {
    auto in_place = folder->modified_time(target.components);
    auto entry_time = zipentry::current_entry_time(aul_unzfile);
    if (in_place && entry_time && *in_place >= *entry_time) return refuse("a file as new or newer is in the way");
  }
  if (unzopencurrentfile(aul_unzfile) != unz_ok) return entry_problem();  // also encrypted and undecodable
  std::unique_ptr<win32::confined_file> file;
  win32::confined_outcome outcome;
  if (!folder) {
    unzclosecurrentfile(aul_unzfile);
    return refuse(folder_error);
  }
  const auto existing = policy == host::existing_file_policy::keep ? win32::existing_target::keep
                                                                   : win32::existing_target::replace_if_free;
  if (!(outcome = folder->create_file(target.components, existing, 0666, file))) {
    unzclosecurrentfile(aul_unzfile);
    return refuse(win32::describe(outcome));
  }
  blob block(block_size);
  std::int16_t rc = unzreadcurrentfile(aul_unzfile, block, block_size);
  host::progress_meter* progress = extraction_walk_ ? extraction_walk_->progress.get() : nullptr;
  while (rc >= 1 && (outcome = file->write(block.data(), static_cast<std::size_t>(rc)))) {
    if (progress) progress->add_bytes(static_cast<std::uint64_t>(rc));
    rc = unzreadcurrentfile(aul_unzfile, block, block_size);
  }
  if (!outcome) {
    unzclosecurrentfile(aul_unzfile);
    return refuse(win32::describe(outcome));  // the temporary goes with the file
  }
  // a read error, data that ended before the declared size, or a CRC mismatch (reported at close)
  bool complete = rc == 0 && unzeof(aul_unzfile) == 1;
  if (unzclosecurrentfile(aul_unzfile) != unz_ok) complete = false;
  if (!complete) return entry_problem();
  if (!(outcome = file->commit())) return refuse(win32::describe(outcome));
  return true;
}

bool uo_nv_ziplib::of_extractfile(std::uint32_t aul_unzfile, const std::string& as_filename,
                                  const std::string& as_filepath, const std::string& /*as_directory*/) {
  if (unzlocatefile(aul_unzfile, as_filename, 2) < 0) return false;
  return extract_current_entry(aul_unzfile, as_filename, as_filepath);
}

// The name is the caller's word for the current entry: it tells which part of the target came from the
// archive, so that part is walked by the confined writer.
bool uo_nv_ziplib::of_cuextractfile(std::uint32_t aul_unzfile, const std::string& as_filename,
                                    const std::string& as_filepath, const std::string& /*as_directory*/) {
  return extract_current_entry(aul_unzfile, as_filename, as_filepath);
}

// On every failure the buffer is emptied or holds the bytes read, never what the caller had in it before (a
// caller that goes on with the buffer would otherwise take an earlier entry's data for this one's).
bool uo_nv_ziplib::of_extractblob(std::uint32_t aul_unzfile, const std::string& as_filename, blob& ablob_data) {
  ablob_data.clear();
  if (unzlocatefile(aul_unzfile, as_filename, 2) < 0) {
    messagebox("Ziplib Error in of_extractfile", "Unable to locate file within archive!", msg_icon::stop);
    return false;
  }
  std::string name_buffer(256, ' ');
  std::string extra_buffer;
  std::string comment_buffer(500, ' ');
  unz_fileinfo info;
  unzgetcurrentfileinfo(aul_unzfile, info, name_buffer, 256, extra_buffer, 0, comment_buffer, 500);
  if (unzopencurrentfile(aul_unzfile) != unz_ok) return false;
  std::int16_t rc = of_unzreadcurrentfile(aul_unzfile, ablob_data, info.uncompressed_size);
  std::int16_t close_rc = unzclosecurrentfile(aul_unzfile);
  return rc == 0 && close_rc == unz_ok;
}

}  // namespace api32
