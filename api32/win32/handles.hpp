// handles.hpp - the 32-bit handle and address table of the Win32 stand-in.
//
// The classes keep handles (files, searches, processes, archives, icons, windows, ...) and record "addresses"
// (LocalAlloc blocks) in 32-bit integers, as on 32-bit Windows. Here every such value is an entry of one
// table: the low 16 bits are the slot, bits 16..30 a generation that changes whenever the slot is freed, so a
// stale or forged value is refused instead of reaching a freed object. Values are positive as signed 32-bit
// numbers and never 0; an entry also records its kind and C++ type, and a lookup of the wrong kind fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <typeindex>
#include <vector>

namespace api32::win32 {

enum class handle_kind : std::uint8_t {
  file,      ///< OpenFile / CreateFile handles
  find,      ///< FindFirstFile searches
  process,   ///< process handles (pidfds)
  thread,    ///< thread handles of started processes
  snapshot,  ///< CreateToolhelp32Snapshot
  icon,      ///< LoadImage icons
  unzip,     ///< archives open for reading
  zip,       ///< archives open for writing
  memory,    ///< LocalAlloc blocks
  window,    ///< host windows
  module,    ///< loaded shared libraries
  stream,    ///< the runtime's FileOpen file numbers
  other,
};

const char* to_string(handle_kind kind);

class handle_table {
public:
  static handle_table& instance();

  /// Stores an object and returns its handle, or 0 when the table is full (65535 live entries).
  template <class T>
  std::uint32_t add(handle_kind kind, std::shared_ptr<T> object) {
    return add_entry(kind, std::type_index(typeid(T)), std::static_pointer_cast<void>(std::move(object)));
  }

  /// The object of a live handle of that kind and type; null for 0, stale, foreign or wrong-kind values.
  template <class T>
  std::shared_ptr<T> get(std::uint32_t handle, handle_kind kind) const {
    return std::static_pointer_cast<T>(get_entry(handle, kind, std::type_index(typeid(T))));
  }

  /// Removes a live handle and returns its object (so the caller decides when it is destroyed); null when
  /// the value is not a live handle of that kind and type.
  template <class T>
  std::shared_ptr<T> take(std::uint32_t handle, handle_kind kind) {
    return std::static_pointer_cast<T>(take_entry(handle, kind, std::type_index(typeid(T))));
  }

  /// The kind of a live handle, or false.
  bool kind_of(std::uint32_t handle, handle_kind& kind) const;
  /// The live handle of that kind whose low 16 bits are `low16` (Windows matches window handles so), or 0.
  std::uint32_t find_by_low16(handle_kind kind, std::uint16_t low16) const;

  std::size_t count() const;
  std::size_t count(handle_kind kind) const;

private:
  handle_table() = default;
  std::uint32_t add_entry(handle_kind kind, std::type_index type, std::shared_ptr<void> object);
  std::shared_ptr<void> get_entry(std::uint32_t handle, handle_kind kind, std::type_index type) const;
  std::shared_ptr<void> take_entry(std::uint32_t handle, handle_kind kind, std::type_index type);

  struct slot_data {
    std::shared_ptr<void> object;
    std::type_index type = std::type_index(typeid(void));
    std::uint16_t generation = 1;
    handle_kind kind = handle_kind::other;
    bool live = false;
  };
  mutable std::mutex mutex_;
  std::vector<slot_data> slots_;
  std::vector<std::uint16_t> free_;  // freed slots, reused oldest first
  std::size_t free_head_ = 0;
  std::size_t live_ = 0;
};

inline handle_table& handles() { return handle_table::instance(); }

}  // namespace api32::win32
