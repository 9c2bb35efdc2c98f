// binding.hpp - turns a C++ class of the library into the C description and operations of api32.h.
//
// A class binding lists constants, variables (pointer to member), events and functions (pointer to member
// function with the parameter names); the templates below derive every parameter's api32 type and whether it
// is written back (a non-const lvalue reference), convert arguments with their types checked, call the
// member, and pack the result and the written-back arguments into one api32_result the host frees.
// Header-only, so the core library and the desktop module bind their classes the same way.
#pragma once

#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "api32/abi/api32.h"
#include "api32/abi/values_bridge.hpp"

namespace api32::abi {

// ---- results ----------------------------------------------------------------------------------------------

/// One result and everything it points to; api32_release frees the whole box.
struct result_box {
  api32_result result{};
  value_arena arena;
  std::vector<api32_value> outs;
};

inline result_box* new_box() { return new result_box(); }
inline api32_result* finish(result_box* box) {
  box->result.out = box->outs.empty() ? nullptr : box->outs.data();
  box->result.out_count = box->outs.size();
  return &box->result;  // first member: api32_release casts back
}
/// A box being filled: freed if filling it throws, handed to the host by finish.
using owned_box = std::unique_ptr<result_box>;
inline api32_result* finish(owned_box box) { return finish(box.release()); }
inline api32_result* error_result(int32_t status, const std::string& message) {
  owned_box box(new_box());
  box->result.status = status;
  box->result.error = box->arena.keep(message);
  return finish(std::move(box));
}

/// Runs `body` and turns anything it throws into an API32_E_FAILED result, so that no exception reaches a C
/// host (where it would end the program). Null only when not even the failure can be allocated.
template <class F>
api32_result* guarded(F&& body) noexcept {
  std::string why = "unexpected failure";
  try {
    return body();
  } catch (const std::exception& e) {
    try {
      why = e.what();
    } catch (...) {
    }
  } catch (...) {
  }
  try {
    return error_result(API32_E_FAILED, why);
  } catch (...) {
    return nullptr;
  }
}

/// The description a getVtableInfo_<class> entry point hands out, or null when it cannot be built.
template <class F>
const api32_vtable_info* guarded_info(F&& describe) noexcept {
  try {
    return describe();
  } catch (...) {
    return nullptr;
  }
}

// ---- functions --------------------------------------------------------------------------------------------

template <class C>
struct function_entry {
  std::string name;
  api32_function description{};
  std::vector<api32_param> params;
  std::function<api32_result*(C&, const api32_value*, int32_t)> call;
};

template <class A>
constexpr bool written_back = std::is_lvalue_reference_v<A> && !std::is_const_v<std::remove_reference_t<A>>;

template <class C, class R, class... A, std::size_t... I>
api32_result* call_member(C& object, R (C::*fn)(A...), const api32_value* args, int32_t count,
                          std::index_sequence<I...>) {
  if (count != static_cast<int32_t>(sizeof...(A)))
    return error_result(API32_E_ARGUMENTS,
                        "expected " + std::to_string(sizeof...(A)) + " arguments, got " + std::to_string(count));
  std::tuple<typename value_traits<std::decay_t<A>>::storage...> storage;
  std::string why;
  bool ok = true;
  std::size_t failed = 0;
  ((ok = ok && (value_traits<std::decay_t<A>>::from(args[I], std::get<I>(storage), why) || ((failed = I), false))),
   ...);
  if (!ok) return error_result(API32_E_ARGUMENTS, "argument " + std::to_string(failed + 1) + ": " + why);
  owned_box box(new_box());
  if constexpr (std::is_void_v<R>) {
    (object.*fn)(value_traits<std::decay_t<A>>::get(std::get<I>(storage))...);
    box->result.value.type = API32_NONE;
  } else {
    R r = (object.*fn)(value_traits<std::decay_t<A>>::get(std::get<I>(storage))...);
    value_traits<std::decay_t<R>>::to(box->arena, r, box->result.value);
  }
  (
      [&] {
        if constexpr (written_back<A>) {
          box->outs.emplace_back();
          value_traits<std::decay_t<A>>::to(box->arena, value_traits<std::decay_t<A>>::get(std::get<I>(storage)),
                                            box->outs.back());
        }
      }(),
      ...);
  return finish(std::move(box));
}

template <class C, class R, class... A>
function_entry<C> fn(const char* name, R (C::*member)(A...), std::vector<const char*> names) {
  function_entry<C> e;
  e.name = name;
  [[maybe_unused]] std::size_t i = 0;  // unused for functions without parameters
  (
      [&] {
        api32_param p{};
        p.name = i < names.size() ? names[i] : "";
        p.type = value_traits<std::decay_t<A>>::type;
        p.by_ref = written_back<A> ? 1 : 0;
        p.type_name = value_traits<std::decay_t<A>>::type_name();
        e.params.push_back(p);
        ++i;
      }(),
      ...);
  if constexpr (std::is_void_v<R>) {
    e.description.result_type = API32_NONE;
    e.description.result_type_name = "";
  } else {
    e.description.result_type = value_traits<std::decay_t<R>>::type;
    e.description.result_type_name = value_traits<std::decay_t<R>>::type_name();
  }
  e.call = [member](C& object, const api32_value* args, int32_t count) {
    return call_member(object, member, args, count, std::index_sequence_for<A...>{});
  };
  return e;
}

// ---- variables --------------------------------------------------------------------------------------------

template <class C>
struct variable_entry {
  std::string name;
  api32_variable description{};
  std::function<api32_result*(C&)> get;
  std::function<api32_result*(C&, const api32_value&)> set;  // empty: read only
};

template <class C, class T>
variable_entry<C> var(const char* name, T C::*member, bool writable = true) {
  variable_entry<C> e;
  e.name = name;
  e.description.type = value_traits<T>::type;
  e.description.type_name = value_traits<T>::type_name();
  e.description.writable = writable ? 1 : 0;
  e.get = [member](C& object) {
    owned_box box(new_box());
    value_traits<T>::to(box->arena, object.*member, box->result.value);
    return finish(std::move(box));
  };
  if (writable) {
    e.set = [member](C& object, const api32_value& value) {
      typename value_traits<T>::storage storage;
      std::string why;
      if (!value_traits<T>::from(value, storage, why)) return error_result(API32_E_ARGUMENTS, why);
      object.*member = value_traits<T>::get(storage);
      return finish(new_box());
    };
  }
  return e;
}

/// A read-only variable holding a reference to an object of class `type_name` (null when `get` gives null).
template <class C>
variable_entry<C> object_variable(const char* name, const char* type_name, std::function<void*(C&)> get) {
  variable_entry<C> e;
  e.name = name;
  e.description.type = API32_OBJECT;
  e.description.type_name = type_name;
  e.description.writable = 0;
  e.get = [get = std::move(get), type_name](C& object) {
    result_box* box = new_box();
    void* referenced = get(object);
    box->result.value.type = API32_OBJECT;
    box->result.value.type_name = type_name;
    box->result.value.object = referenced;
    box->result.value.is_null = referenced ? 0 : 1;
    return finish(box);
  };
  return e;
}

// ---- events -----------------------------------------------------------------------------------------------

template <class C>
struct event_entry {
  std::string name;
  std::function<api32_result*(C&, const api32_value*)> run;
};

// ---- the class --------------------------------------------------------------------------------------------

template <class C>
class class_binding {
public:
  class_binding(const char* name, const char* ancestor) : name_(name), ancestor_(ancestor) {}

  class_binding& constant(const char* name, api32_type type, std::string value) {
    constant_texts_.push_back(std::move(value));
    constants_.push_back({name, type, nullptr});
    return *this;
  }
  class_binding& variable(variable_entry<C> v) {
    variables_.push_back(std::move(v));
    return *this;
  }
  class_binding& function(function_entry<C> f) {
    functions_.push_back(std::move(f));
    return *this;
  }
  class_binding& event(const char* name, std::function<api32_result*(C&, const api32_value*)> run) {
    events_.push_back({name, std::move(run)});
    return *this;
  }
  /// Makes objects with `make` instead of `new C()` (for classes that need arguments or a display).
  class_binding& factory(std::function<C*()> make) {
    make_ = std::move(make);
    return *this;
  }
  /// Runs `forget` on an object just before destroy deletes it.
  class_binding& on_destroy(std::function<void(C&)> forget) {
    forget_ = std::move(forget);
    return *this;
  }

  /// Freezes the description; called once, after every member was added.
  const api32_vtable_info* info() {
    std::call_once(once_, [this] { build(); });
    return &info_;
  }

  static class_binding*& current() {
    static class_binding* self = nullptr;
    return self;
  }

  /// Makes an object that the library owns (a member of another object) reachable through this class's
  /// operations; destroy leaves it alone. Its owner disowns it before it goes.
  void adopt(C* object) {
    std::lock_guard lock(mutex_);
    objects_.insert(object);
    borrowed_.insert(object);
  }
  void disown(C* object) {
    std::lock_guard lock(mutex_);
    if (borrowed_.erase(object)) objects_.erase(object);
  }

  /// The object behind a pointer a host holds, when it is a live object of this class.
  C* live(void* object) {
    std::lock_guard lock(mutex_);
    return objects_.count(object) ? static_cast<C*>(object) : nullptr;
  }

private:
  void build() {
    for (std::size_t i = 0; i < constants_.size(); ++i) constants_[i].value = constant_texts_[i].c_str();
    for (auto& v : variables_) {
      v.description.name = v.name.c_str();
      variable_descriptions_.push_back(v.description);
    }
    for (auto& f : functions_) {
      f.description.name = f.name.c_str();
      f.description.param_count = static_cast<int32_t>(f.params.size());
      f.description.params = f.params.empty() ? nullptr : f.params.data();
      function_descriptions_.push_back(f.description);
    }
    current() = this;
    info_.abi_version = API32_ABI_VERSION;
    info_.class_name = name_;
    info_.ancestor = ancestor_;
    info_.constant_count = static_cast<int32_t>(constants_.size());
    info_.constants = constants_.data();
    info_.variable_count = static_cast<int32_t>(variable_descriptions_.size());
    info_.variables = variable_descriptions_.data();
    info_.function_count = static_cast<int32_t>(function_descriptions_.size());
    info_.functions = function_descriptions_.data();
    info_.create = [] { return current()->create(); };
    info_.destroy = [](void* object) { current()->destroy(object); };
    info_.trigger = [](void* object, const char* event, const api32_value* arg) {
      return current()->trigger(object, event, arg);
    };
    info_.invoke = [](void* object, int32_t index, const api32_value* args, int32_t count) {
      return current()->invoke(object, index, args, count);
    };
    info_.get_variable = [](void* object, const char* name) { return current()->get_variable(object, name); };
    info_.set_variable = [](void* object, const char* name, const api32_value* value) {
      return current()->set_variable(object, name, value);
    };
  }

  void* create() noexcept {
    C* object = nullptr;
    try {
      object = make_ ? make_() : new C();
      if (!object) return nullptr;
      std::lock_guard lock(mutex_);
      objects_.insert(object);
      return object;
    } catch (...) {
      // an object that could not be registered could never be destroyed by the host
      if (object) delete_object(object);
      return nullptr;
    }
  }

  // Checks and unregisters in one step, so that of two destroys of one object (racing threads, or a host
  // that frees twice) exactly one deletes it and the other finds nothing to do.
  void destroy(void* object) noexcept {
    try {
      {
        std::lock_guard lock(mutex_);
        if (borrowed_.count(object)) return;  // the library's own: its owner destroys it
        if (objects_.erase(object) == 0) return;
      }
      delete_object(static_cast<C*>(object));
    } catch (...) {
    }
  }

  void delete_object(C* c) noexcept {
    try {
      if (forget_) forget_(*c);
    } catch (...) {
    }
    delete c;  // destructors do not throw
  }

  api32_result* trigger(void* object, const char* event, const api32_value* arg) noexcept {
    return guarded([&] {
      C* c = live(object);
      if (!c) return error_result(API32_E_OBJECT, "not an object of class " + std::string(name_));
      if (!event) return error_result(API32_E_INDEX, "no event name");
      for (auto& e : events_)
        if (e.name == event) return e.run(*c, arg);
      return error_result(API32_E_INDEX, std::string("class ") + name_ + " has no event " + event);
    });
  }

  api32_result* invoke(void* object, int32_t index, const api32_value* args, int32_t count) noexcept {
    return guarded([&] {
      C* c = live(object);
      if (!c) return error_result(API32_E_OBJECT, "not an object of class " + std::string(name_));
      if (index < 0 || index >= static_cast<int32_t>(functions_.size()))
        return error_result(API32_E_INDEX, "no function " + std::to_string(index));
      if (count < 0 || (count > 0 && !args)) return error_result(API32_E_ARGUMENTS, "no arguments given");
      return functions_[static_cast<std::size_t>(index)].call(*c, args, count);
    });
  }

  api32_result* get_variable(void* object, const char* name) noexcept {
    return guarded([&] {
      C* c = live(object);
      if (!c) return error_result(API32_E_OBJECT, "not an object of class " + std::string(name_));
      for (auto& v : variables_)
        if (name && v.name == name) return v.get(*c);
      return error_result(API32_E_INDEX, std::string("no variable ") + (name ? name : ""));
    });
  }

  api32_result* set_variable(void* object, const char* name, const api32_value* value) noexcept {
    return guarded([&] {
      C* c = live(object);
      if (!c) return error_result(API32_E_OBJECT, "not an object of class " + std::string(name_));
      if (!value) return error_result(API32_E_ARGUMENTS, "no value");
      for (auto& v : variables_)
        if (name && v.name == name) {
          if (!v.set) return error_result(API32_E_ARGUMENTS, "variable " + v.name + " is read only");
          return v.set(*c, *value);
        }
      return error_result(API32_E_INDEX, std::string("no variable ") + (name ? name : ""));
    });
  }

  const char* name_;
  const char* ancestor_;
  std::deque<std::string> constant_texts_;
  std::vector<api32_constant> constants_;
  std::vector<variable_entry<C>> variables_;
  std::vector<api32_variable> variable_descriptions_;
  std::vector<function_entry<C>> functions_;
  std::vector<api32_function> function_descriptions_;
  std::vector<event_entry<C>> events_;
  std::function<C*()> make_;
  std::function<void(C&)> forget_;
  api32_vtable_info info_{};
  std::once_flag once_;
  std::mutex mutex_;
  std::set<void*> objects_;
  std::set<void*> borrowed_;
};

/// The usual events of a non-visual class: "constructor" runs the constructor again on the object (its state
/// starts over), "destructor" has nothing to do before destroy.
template <class C>
void add_standard_events(class_binding<C>& b) {
  b.event("constructor", [](C& object, const api32_value*) {
    object.~C();
    new (&object) C();
    return finish(new_box());
  });
  b.event("destructor", [](C&, const api32_value*) { return finish(new_box()); });
}

}  // namespace api32::abi
