// values_bridge.hpp - conversions between the library's C++ value types and api32_value.
//
// value_traits<T> says, for each parameter or result type T: its api32 type, the storage an argument is
// converted into (`from`, which checks the tag and rejects a wrong type or an unexpected null), how the member
// is handed that storage (`get`), and how a value goes back to the host (`to`, copying into a value_arena the
// result owns). Records are converted field by field (record_fields<T>), objects by reference.
#pragma once

#include <cstdint>
#include <deque>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "api32/abi/api32.h"
#include "api32/runtime/datastore.hpp"
#include "api32/runtime/values.hpp"

namespace api32::abi {

/// Owns the text, bytes and arrays that the values of one result point to.
class value_arena {
public:
  const char* keep(std::string text) {
    texts_.push_back(std::move(text));
    return texts_.back().c_str();
  }
  const std::uint8_t* keep_bytes(std::vector<std::uint8_t> bytes) {
    bytes_.push_back(std::move(bytes));
    return bytes_.back().data();
  }
  api32_value* array(std::size_t count) {
    arrays_.emplace_back(count);
    return arrays_.back().data();
  }

private:
  std::deque<std::string> texts_;
  std::deque<std::vector<std::uint8_t>> bytes_;
  std::deque<std::vector<api32_value>> arrays_;
};

bool parse_date(std::string_view text, api32::date& out);
bool parse_time(std::string_view text, api32::time& out);
bool parse_datetime(std::string_view text, api32::datetime& out);
const char* type_label(int32_t type);

inline bool expect(const api32_value& v, int32_t type, std::string& why) {
  if (v.type != type) {
    why = std::string("expected ") + type_label(type) + ", got " + type_label(v.type);
    return false;
  }
  if (v.is_null) {
    why = std::string("null ") + type_label(type) + " not allowed here";
    return false;
  }
  return true;
}

template <class T, class = void>
struct value_traits;  // no conversion for this type: a compile error names it

// Plain storage: the argument is converted into a T and handed over as T&.
template <class T>
struct plain_storage {
  using storage = T;
  static T& get(T& s) { return s; }
};

template <class T, int32_t Type, std::int64_t Min, std::int64_t Max>
struct integer_traits : plain_storage<T> {
  static constexpr int32_t type = Type;
  static const char* type_name() { return ""; }
  static bool from(const api32_value& v, T& out, std::string& why) {
    if (!expect(v, Type, why)) return false;
    if (v.i < Min || v.i > Max) {
      why = std::string(type_label(Type)) + " out of range: " + std::to_string(v.i);
      return false;
    }
    out = static_cast<T>(v.i);
    return true;
  }
  static void to(value_arena&, const T& value, api32_value& out) {
    out = api32_value{};
    out.type = Type;
    out.i = static_cast<std::int64_t>(value);
  }
};

template <>
struct value_traits<std::int16_t> : integer_traits<std::int16_t, API32_INTEGER, -32768, 32767> {};
template <>
struct value_traits<std::uint16_t> : integer_traits<std::uint16_t, API32_UINT, 0, 65535> {};
template <>
struct value_traits<std::int32_t> : integer_traits<std::int32_t, API32_LONG, INT32_MIN, INT32_MAX> {};
template <>
struct value_traits<std::uint32_t> : integer_traits<std::uint32_t, API32_ULONG, 0, UINT32_MAX> {};
template <>
struct value_traits<char> : integer_traits<char, API32_CHAR, -128, 255> {};

template <>
struct value_traits<bool> : plain_storage<bool> {
  static constexpr int32_t type = API32_BOOLEAN;
  static const char* type_name() { return ""; }
  static bool from(const api32_value& v, bool& out, std::string& why) {
    if (!expect(v, API32_BOOLEAN, why)) return false;
    out = v.i != 0;
    return true;
  }
  static void to(value_arena&, const bool& value, api32_value& out) {
    out = api32_value{};
    out.type = API32_BOOLEAN;
    out.i = value ? 1 : 0;
  }
};

template <>
struct value_traits<double> : plain_storage<double> {
  static constexpr int32_t type = API32_DOUBLE;
  static const char* type_name() { return ""; }
  static bool from(const api32_value& v, double& out, std::string& why) {
    if (!expect(v, API32_DOUBLE, why)) return false;
    out = v.d;
    return true;
  }
  static void to(value_arena&, const double& value, api32_value& out) {
    out = api32_value{};
    out.type = API32_DOUBLE;
    out.d = value;
  }
};

inline std::string_view text_of(const api32_value& v) {
  if (!v.text) return {};
  return std::string_view(v.text, v.size ? v.size : std::char_traits<char>::length(v.text));
}

template <>
struct value_traits<std::string> : plain_storage<std::string> {
  static constexpr int32_t type = API32_STRING;
  static const char* type_name() { return ""; }
  static bool from(const api32_value& v, std::string& out, std::string& why) {
    if (!expect(v, API32_STRING, why)) return false;
    out = std::string(text_of(v));
    return true;
  }
  static void to(value_arena& arena, const std::string& value, api32_value& out) {
    out = api32_value{};
    out.type = API32_STRING;
    out.text = arena.keep(value);
    out.size = value.size();
  }
};

template <>
struct value_traits<api32::decimal> : plain_storage<api32::decimal> {
  static constexpr int32_t type = API32_DECIMAL;
  static const char* type_name() { return ""; }
  static bool from(const api32_value& v, api32::decimal& out, std::string& why) {
    if (!expect(v, API32_DECIMAL, why)) return false;
    auto parsed = api32::decimal::parse(text_of(v));
    if (!parsed) {
      why = "not a decimal: " + std::string(text_of(v));
      return false;
    }
    out = *parsed;
    return true;
  }
  static void to(value_arena& arena, const api32::decimal& value, api32_value& out) {
    out = api32_value{};
    out.type = API32_DECIMAL;
    out.text = arena.keep(value.to_string());
  }
};

template <class T, int32_t Type, bool (*Parse)(std::string_view, T&)>
struct calendar_traits : plain_storage<T> {
  static constexpr int32_t type = Type;
  static const char* type_name() { return ""; }
  static bool from(const api32_value& v, T& out, std::string& why) {
    if (!expect(v, Type, why)) return false;
    if (!Parse(text_of(v), out)) {
      why = std::string("not a ") + type_label(Type) + ": " + std::string(text_of(v));
      return false;
    }
    return true;
  }
  static void to(value_arena& arena, const T& value, api32_value& out) {
    out = api32_value{};
    out.type = Type;
    out.text = arena.keep(value.to_string());
  }
};

template <>
struct value_traits<api32::date> : calendar_traits<api32::date, API32_DATE, parse_date> {};
template <>
struct value_traits<api32::time> : calendar_traits<api32::time, API32_TIME, parse_time> {};
template <>
struct value_traits<api32::datetime> : calendar_traits<api32::datetime, API32_DATETIME, parse_datetime> {};

template <>
struct value_traits<api32::blob> : plain_storage<api32::blob> {
  static constexpr int32_t type = API32_BLOB;
  static const char* type_name() { return ""; }
  static bool from(const api32_value& v, api32::blob& out, std::string& why) {
    if (!expect(v, API32_BLOB, why)) return false;
    if (v.size && !v.bytes) {
      why = "blob without bytes";
      return false;
    }
    out.assign(v.bytes, v.bytes + v.size);
    return true;
  }
  static void to(value_arena& arena, const api32::blob& value, api32_value& out) {
    out = api32_value{};
    out.type = API32_BLOB;
    out.bytes = arena.keep_bytes(value);
    out.size = value.size();
  }
};

template <>
struct value_traits<std::vector<char>> : plain_storage<std::vector<char>> {
  static constexpr int32_t type = API32_CHAR_ARRAY;
  static const char* type_name() { return ""; }
  static bool from(const api32_value& v, std::vector<char>& out, std::string& why) {
    if (!expect(v, API32_CHAR_ARRAY, why)) return false;
    if (v.size && !v.bytes) {
      why = "char array without bytes";
      return false;
    }
    out.assign(reinterpret_cast<const char*>(v.bytes), reinterpret_cast<const char*>(v.bytes) + v.size);
    return true;
  }
  static void to(value_arena& arena, const std::vector<char>& value, api32_value& out) {
    out = api32_value{};
    out.type = API32_CHAR_ARRAY;
    out.bytes = arena.keep_bytes(std::vector<std::uint8_t>(value.begin(), value.end()));
    out.size = value.size();
  }
};

template <>
struct value_traits<std::vector<std::string>> : plain_storage<std::vector<std::string>> {
  static constexpr int32_t type = API32_STRING_ARRAY;
  static const char* type_name() { return ""; }
  static bool from(const api32_value& v, std::vector<std::string>& out, std::string& why) {
    if (!expect(v, API32_STRING_ARRAY, why)) return false;
    if (v.count && !v.items) {
      why = "array without items";
      return false;
    }
    out.clear();
    for (std::size_t i = 0; i < v.count; ++i) {
      std::string item;
      if (!value_traits<std::string>::from(v.items[i], item, why)) {
        why = "item " + std::to_string(i + 1) + ": " + why;
        return false;
      }
      out.push_back(std::move(item));
    }
    return true;
  }
  static void to(value_arena& arena, const std::vector<std::string>& value, api32_value& out) {
    out = api32_value{};
    out.type = API32_STRING_ARRAY;
    api32_value* items = arena.array(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) value_traits<std::string>::to(arena, value[i], items[i]);
    out.items = items;
    out.count = value.size();
  }
};

// Null-able values: the same type, null allowed both ways.
template <class T>
struct value_traits<std::optional<T>> : plain_storage<std::optional<T>> {
  static constexpr int32_t type = value_traits<T>::type;
  static const char* type_name() { return value_traits<T>::type_name(); }
  static bool from(const api32_value& v, std::optional<T>& out, std::string& why) {
    if (v.type != type) {
      why = std::string("expected ") + type_label(type) + ", got " + type_label(v.type);
      return false;
    }
    if (v.is_null) {
      out.reset();
      return true;
    }
    typename value_traits<T>::storage s{};
    if (!value_traits<T>::from(v, s, why)) return false;
    out = value_traits<T>::get(s);
    return true;
  }
  static void to(value_arena& arena, const std::optional<T>& value, api32_value& out) {
    if (value) {
      value_traits<T>::to(arena, *value, out);
    } else {
      out = api32_value{};
      out.type = type;
      out.is_null = 1;
    }
  }
};

// ---- records: a class specialises record_fields<T> with a name and a `visit` over its fields -------------

template <class T>
struct record_fields;  // static const char* name(); template <class F> static void visit(T&, F&& f) { f("field",
                       // r.field); ... }

template <class T>
concept has_record_fields = requires {
  record_fields<T>::name();
};

template <class T>
requires has_record_fields<T>
struct value_traits<T> : plain_storage<T> {
  static constexpr int32_t type = API32_RECORD;
  static const char* type_name() { return record_fields<T>::name(); }
  static bool from(const api32_value& v, T& out, std::string& why) {
    if (!expect(v, API32_RECORD, why)) return false;
    if (v.count && !v.items) {
      why = "record without fields";
      return false;
    }
    out = T{};
    bool ok = true;
    record_fields<T>::visit(out, [&](const char* field, auto& member) {
      using M = std::decay_t<decltype(member)>;
      if (!ok) return;
      for (std::size_t i = 0; i < v.count; ++i) {
        if (v.items[i].name && std::string_view(v.items[i].name) == field) {
          typename value_traits<M>::storage s{};
          if (!value_traits<M>::from(v.items[i], s, why)) {
            why = std::string("field ") + field + ": " + why;
            ok = false;
            return;
          }
          member = value_traits<M>::get(s);
          return;
        }
      }
      // a field the host leaves out keeps its zero value
    });
    return ok;
  }
  static void to(value_arena& arena, const T& value, api32_value& out) {
    out = api32_value{};
    out.type = API32_RECORD;
    out.type_name = record_fields<T>::name();
    std::size_t count = 0;
    T copy = value;
    record_fields<T>::visit(copy, [&](const char*, auto&) { ++count; });
    api32_value* items = arena.array(count);
    std::size_t i = 0;
    record_fields<T>::visit(copy, [&](const char* field, auto& member) {
      value_traits<std::decay_t<decltype(member)>>::to(arena, member, items[i]);
      items[i].name = field;
      ++i;
    });
    out.items = items;
    out.count = count;
  }
};

// ---- objects by reference ----------------------------------------------------------------------------------

template <class T>
struct object_ref {
  T* pointer = nullptr;
};

/// Names the class of an object type handed by reference, and tells whether a pointer is a live object of
/// it (so a forged or stale pointer from a host is refused, never dereferenced); specialised for each type.
template <class T>
struct object_name;
template <>
struct object_name<api32::datastore> {
  static const char* name() { return "datastore"; }
  static bool live(const void* object);
};

template <class T>
concept has_object_name = requires {
  object_name<T>::name();
};

template <class T>
requires has_object_name<T>
struct value_traits<T> {
  using storage = object_ref<T>;
  static constexpr int32_t type = API32_OBJECT;
  static const char* type_name() { return object_name<T>::name(); }
  static T& get(storage& s) { return *s.pointer; }
  static bool from(const api32_value& v, storage& out, std::string& why) {
    if (!expect(v, API32_OBJECT, why)) return false;
    if (!v.object || !v.type_name || std::string_view(v.type_name) != object_name<T>::name() ||
        !object_name<T>::live(v.object)) {
      why = std::string("expected an object of class ") + object_name<T>::name();
      return false;
    }
    out.pointer = static_cast<T*>(v.object);
    return true;
  }
  static void to(value_arena&, T& value, api32_value& out) {
    out = api32_value{};
    out.type = API32_OBJECT;
    out.object = &value;
    out.type_name = object_name<T>::name();
  }
};

}  // namespace api32::abi
