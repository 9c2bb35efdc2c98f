// handles.cpp - the handle table: slot + generation encoding, typed lookups, counts for leak checks.
#include "api32/win32/handles.hpp"

namespace api32::win32 {
namespace {

constexpr std::size_t max_slots = 0xFFFF;  // low 16 bits hold slot + 1, never 0

std::uint32_t encode(std::size_t slot, std::uint16_t generation) {
  return (static_cast<std::uint32_t>(generation) << 16) | static_cast<std::uint32_t>(slot + 1);
}

}  // namespace

const char* to_string(handle_kind kind) {
  switch (kind) {
    case handle_kind::file: return "file";
    case handle_kind::find: return "find";
    case handle_kind::process: return "process";
    case handle_kind::thread: return "thread";
    case handle_kind::snapshot: return "snapshot";
    case handle_kind::icon: return "icon";
    case handle_kind::unzip: return "unzip";
    case handle_kind::zip: return "zip";
    case handle_kind::memory: return "memory";
    case handle_kind::window: return "window";
    case handle_kind::module: return "module";
    case handle_kind::stream: return "stream";
    case handle_kind::other: return "other";
  }
  return "other";
}

handle_table& handle_table::instance() {
  // Never destroyed: objects in it may be released by other static destructors during exit.
  static handle_table* table = new handle_table();
  return *table;
}

std::uint32_t handle_table::add_entry(handle_kind kind, std::type_index type, std::shared_ptr<void> object) {
  if (!object) return 0;
  std::lock_guard lock(mutex_);
  std::size_t index;
  if (free_head_ < free_.size()) {
    index = free_[free_head_++];
    if (free_head_ > 1024 && free_head_ * 2 > free_.size()) {  // compact the consumed front now and then
      free_.erase(free_.begin(), free_.begin() + static_cast<std::ptrdiff_t>(free_head_));
      free_head_ = 0;
    }
  } else if (slots_.size() < max_slots) {
    index = slots_.size();
    slots_.emplace_back();
  } else {
    return 0;
  }
  slot_data& s = slots_[index];
  s.object = std::move(object);
  s.type = type;
  s.kind = kind;
  s.live = true;
  ++live_;
  return encode(index, s.generation);
}

std::shared_ptr<void> handle_table::get_entry(std::uint32_t handle, handle_kind kind, std::type_index type) const {
  std::lock_guard lock(mutex_);
  std::size_t index = (handle & 0xFFFF);
  if (index == 0 || index > slots_.size()) return nullptr;
  const slot_data& s = slots_[index - 1];
  if (!s.live || s.kind != kind || s.type != type || encode(index - 1, s.generation) != handle) return nullptr;
  return s.object;
}

std::shared_ptr<void> handle_table::take_entry(std::uint32_t handle, handle_kind kind, std::type_index type) {
  std::shared_ptr<void> object;
  {
    std::lock_guard lock(mutex_);
    std::size_t index = (handle & 0xFFFF);
    if (index == 0 || index > slots_.size()) return nullptr;
    slot_data& s = slots_[index - 1];
    if (!s.live || s.kind != kind || s.type != type || encode(index - 1, s.generation) != handle) return nullptr;
    object = std::move(s.object);
    s.object.reset();
    s.live = false;
    s.generation = static_cast<std::uint16_t>(s.generation >= 0x7FFF ? 1 : s.generation + 1);
    free_.push_back(static_cast<std::uint16_t>(index - 1));
    --live_;
  }
  return object;  // destroyed by the caller, outside the lock
}

bool handle_table::kind_of(std::uint32_t handle, handle_kind& kind) const {
  std::lock_guard lock(mutex_);
  std::size_t index = (handle & 0xFFFF);
  if (index == 0 || index > slots_.size()) return false;
  const slot_data& s = slots_[index - 1];
  if (!s.live || encode(index - 1, s.generation) != handle) return false;
  kind = s.kind;
  return true;
}

std::uint32_t handle_table::find_by_low16(handle_kind kind, std::uint16_t low16) const {
  std::lock_guard lock(mutex_);
  std::size_t index = low16;
  if (index == 0 || index > slots_.size()) return 0;
  const slot_data& s = slots_[index - 1];
  if (!s.live || s.kind != kind) return 0;
  return encode(index - 1, s.generation);
}

std::size_t handle_table::count() const {
  std::lock_guard lock(mutex_);
  return live_;
}

std::size_t handle_table::count(handle_kind kind) const {
  std::lock_guard lock(mutex_);
  std::size_t n = 0;
  for (const auto& s : slots_) n += (s.live && s.kind == kind) ? 1 : 0;
  return n;
}

}  // namespace api32::win32
