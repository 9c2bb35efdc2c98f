// update_plan.cpp - deciding whether and how an existing archive is carried over.
#include "tools/rar/update_plan.hpp"

#include "tools/rar/rar5_format.hpp"

namespace rartool {

update_plan plan_update(const rar5::scan_result& scan, std::uint64_t archive_size) {
  using namespace rar5;
  update_plan plan;
  auto refuse = [&](std::string why) {
    plan.refusal = std::move(why);
    plan.groups.clear();
    return plan;
  };
  for (const auto& b : scan.blocks) {
    if (b.type == head_encryption) return refuse("its headers are encrypted");
  }
  if (!scan.complete) return refuse("it is damaged: " + scan.problem);
  if (scan.end_offset != archive_size) return refuse("it has data after its end-of-archive block");
  if (scan.blocks.empty() || scan.blocks.front().type != head_main) return refuse("it has no main header");
  const block& main = scan.blocks.front();
  if (main.archive_flags & mhfl_volume) return refuse("it is a multi-volume archive");
  if (main.archive_flags & mhfl_solid) return refuse("it is a solid archive");
  if (main.archive_flags & mhfl_locked) return refuse("it is locked");
  if (main.archive_flags & mhfl_recovery) return refuse("it has a recovery record");
  auto extra = main_extra_without_locator(main.main_extra);
  if (!extra) return refuse("it is damaged: bad main header");
  plan.main_extra = std::move(*extra);

  for (std::size_t i = 1; i < scan.blocks.size(); ++i) {
    const block& b = scan.blocks[i];
    if (b.flags & (hfl_split_before | hfl_split_after)) return refuse("it is a multi-volume archive");
    switch (b.type) {
      case head_main:
        return refuse("it is damaged: a second main header");
      case head_end:
        if (b.end_flags & ehfl_next_volume) return refuse("it is a multi-volume archive");
        return plan;
      case head_file:
        if (b.compression & ci_solid) return refuse("it is a solid archive");
        if (b.encrypted) return refuse("it has encrypted entries");
        plan.groups.push_back({b.name, true, {i}});
        break;
      case head_service: {
        if (b.name == "QO") break;
        if (b.name == "RR") return refuse("it has a recovery record");
        if (b.encrypted) return refuse("it has encrypted entries");
        // service data other than the archive comment belongs to the file before it (streams, ACLs)
        const bool belongs_to_file = (b.flags & hfl_child) || b.name != "CMT";
        if (belongs_to_file && !plan.groups.empty() && plan.groups.back().file) {
          plan.groups.back().blocks.push_back(i);
        } else {
          plan.groups.push_back({"", false, {i}});
        }
        break;
      }
      default:
        if (!(b.flags & hfl_skip_if_unknown)) plan.groups.push_back({"", false, {i}});
        break;
    }
  }
  return refuse("it is damaged: no end-of-archive block");
}

}  // namespace rartool
