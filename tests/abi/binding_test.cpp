// The class binding: descriptions derived from member signatures, checked arguments, written-back values.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "api32/abi/binding.hpp"

namespace {

struct sample_record {
  std::uint32_t low = 0;
  std::uint32_t high = 0;
};

struct sample {
  std::int16_t counter = 0;
  std::optional<std::string> label;

  std::int16_t add(std::int16_t a, std::int16_t b) { return static_cast<std::int16_t>(a + b + counter); }
  bool fill(const std::string& text, std::vector<std::string>& parts, std::uint32_t& count) {
    parts.clear();
    for (char c : text) parts.emplace_back(1, c);
    count = static_cast<std::uint32_t>(parts.size());
    return !parts.empty();
  }
  std::optional<api32::blob> maybe(const api32::blob& in, api32::decimal factor) {
    if (in.empty()) return std::nullopt;
    api32::blob out = in;
    out.push_back(static_cast<std::uint8_t>(*factor.round()));
    return out;
  }
  void shift(sample_record& r) { std::swap(r.low, r.high); }
  void rows(api32::datastore& ds) { ds.insertrow(0); }
};

}  // namespace

namespace api32::abi {
template <>
struct record_fields<sample_record> {
  static const char* name() { return "sample_record"; }
  template <class F>
  static void visit(sample_record& r, F&& f) {
    f("low", r.low);
    f("high", r.high);
  }
};
// the test links no library datastores: every datastore it makes itself counts as live
bool object_name<api32::datastore>::live(const void* object) { return object != nullptr; }
}  // namespace api32::abi

using namespace api32::abi;

namespace {

class_binding<sample>& sample_binding() {
  static class_binding<sample>* b = [] {
    auto* b = new class_binding<sample>("sample", "nonvisualobject");
    b->constant("answer", API32_INTEGER, "42")
        .variable(var("counter", &sample::counter))
        .variable(var("label", &sample::label, false))
        .function(fn("add", &sample::add, {"a", "b"}))
        .function(fn("fill", &sample::fill, {"text", "parts", "count"}))
        .function(fn("maybe", &sample::maybe, {"in", "factor"}))
        .function(fn("shift", &sample::shift, {"r"}))
        .function(fn("rows", &sample::rows, {"ds"}));
    add_standard_events(*b);
    return b;
  }();
  return *b;
}

api32_value integer(int64_t v) {
  api32_value x{};
  x.type = API32_INTEGER;
  x.i = v;
  return x;
}
api32_value text(const char* s) {
  api32_value x{};
  x.type = API32_STRING;
  x.text = s;
  x.size = std::strlen(s);
  return x;
}

struct released {
  api32_result* r;
  ~released() { api32_release_for_test(r); }
  static void api32_release_for_test(api32_result* r) { delete reinterpret_cast<result_box*>(r); }
  api32_result* operator->() { return r; }
};

}  // namespace

TEST(Binding, DescribesTheClass) {
  const api32_vtable_info* info = sample_binding().info();
  EXPECT_EQ(info->abi_version, API32_ABI_VERSION);
  EXPECT_STREQ(info->class_name, "sample");
  ASSERT_EQ(info->function_count, 5);
  const api32_function& fill = info->functions[1];
  EXPECT_STREQ(fill.name, "fill");
  EXPECT_EQ(fill.result_type, API32_BOOLEAN);
  ASSERT_EQ(fill.param_count, 3);
  EXPECT_EQ(fill.params[0].type, API32_STRING);
  EXPECT_EQ(fill.params[0].by_ref, 0);  // const reference: input only
  EXPECT_EQ(fill.params[1].type, API32_STRING_ARRAY);
  EXPECT_EQ(fill.params[1].by_ref, 1);
  EXPECT_EQ(fill.params[2].type, API32_ULONG);
  EXPECT_STREQ(info->functions[3].params[0].type_name, "sample_record");
  EXPECT_STREQ(info->functions[4].params[0].type_name, "datastore");
  EXPECT_STREQ(info->constants[0].value, "42");
}

TEST(Binding, InvokesAndWritesBack) {
  const api32_vtable_info* info = sample_binding().info();
  void* object = info->create();
  ASSERT_NE(object, nullptr);
  api32_value args[] = {text("abc"), api32_value{}, api32_value{}};
  args[1].type = API32_STRING_ARRAY;
  args[2].type = API32_ULONG;
  released r{info->invoke(object, 1, args, 3)};
  ASSERT_EQ(r->status, API32_OK) << r->error;
  EXPECT_EQ(r->value.i, 1);
  ASSERT_EQ(r->out_count, 2u);
  ASSERT_EQ(r->out[0].count, 3u);
  EXPECT_EQ(std::string(r->out[0].items[2].text), "c");
  EXPECT_EQ(r->out[1].i, 3);
  info->destroy(object);
}

TEST(Binding, NullsRecordsAndObjects) {
  const api32_vtable_info* info = sample_binding().info();
  void* object = info->create();
  api32_value blob{};
  blob.type = API32_BLOB;  // empty blob: the function answers null
  api32_value factor{};
  factor.type = API32_DECIMAL;
  factor.text = "2.5";
  api32_value args[] = {blob, factor};
  released r{info->invoke(object, 2, args, 2)};
  ASSERT_EQ(r->status, API32_OK);
  EXPECT_EQ(r->value.is_null, 1);

  api32_value fields[2] = {};
  fields[0].type = fields[1].type = API32_ULONG;
  fields[0].name = "low";
  fields[0].i = 1;
  fields[1].name = "high";
  fields[1].i = 2;
  api32_value record{};
  record.type = API32_RECORD;
  record.items = fields;
  record.count = 2;
  released s{info->invoke(object, 3, &record, 1)};
  ASSERT_EQ(s->status, API32_OK);
  ASSERT_EQ(s->out_count, 1u);
  EXPECT_EQ(s->out[0].items[0].i, 2);  // swapped
  EXPECT_STREQ(s->out[0].items[0].name, "low");

  api32::datastore ds({"d", {{"a", "A"}}});
  api32_value ref{};
  ref.type = API32_OBJECT;
  ref.type_name = "datastore";
  ref.object = &ds;
  released t{info->invoke(object, 4, &ref, 1)};
  ASSERT_EQ(t->status, API32_OK);
  EXPECT_EQ(ds.rowcount(), 1);
  info->destroy(object);
}

TEST(Binding, RefusesMismatchesWithoutTouchingMemory) {
  const api32_vtable_info* info = sample_binding().info();
  void* object = info->create();
  api32_value wrong[] = {text("x"), integer(1)};
  struct row {
    int32_t index;
    const api32_value* args;
    int32_t count;
    int32_t status;
  } rows[] = {
      {0, wrong, 2, API32_E_ARGUMENTS},  // a string where an integer belongs
      {0, wrong, 1, API32_E_ARGUMENTS},  // too few
      {0, nullptr, 2, API32_E_ARGUMENTS}, {9, wrong, 2, API32_E_INDEX}, {-1, wrong, 2, API32_E_INDEX},
  };
  for (const auto& r : rows) {
    released res{info->invoke(object, r.index, r.args, r.count)};
    EXPECT_EQ(res->status, r.status) << r.index << "/" << r.count;
    EXPECT_NE(res->error, nullptr);
  }
  api32_value big = integer(40000);  // out of the 16-bit range
  api32_value args[] = {big, integer(1)};
  released res{info->invoke(object, 0, args, 2)};
  EXPECT_EQ(res->status, API32_E_ARGUMENTS);
  int stranger = 0;
  released foreign{info->invoke(&stranger, 0, args, 2)};
  EXPECT_EQ(foreign->status, API32_E_OBJECT);
  api32_value ref{};
  ref.type = API32_OBJECT;
  ref.type_name = "window";  // not a datastore
  ref.object = &stranger;
  released obj{info->invoke(object, 4, &ref, 1)};
  EXPECT_EQ(obj->status, API32_E_ARGUMENTS);
  info->destroy(object);
}

TEST(Binding, VariablesAndEvents) {
  const api32_vtable_info* info = sample_binding().info();
  void* object = info->create();
  api32_value seven = integer(7);
  released set{info->set_variable(object, "counter", &seven)};
  EXPECT_EQ(set->status, API32_OK);
  api32_value args[] = {integer(1), integer(2)};
  released sum{info->invoke(object, 0, args, 2)};
  EXPECT_EQ(sum->value.i, 10);
  released ro{info->set_variable(object, "label", &seven)};
  EXPECT_EQ(ro->status, API32_E_ARGUMENTS);
  released ctor{info->trigger(object, "constructor", nullptr)};
  EXPECT_EQ(ctor->status, API32_OK);
  released get{info->get_variable(object, "counter")};
  EXPECT_EQ(get->value.i, 0);  // the constructor ran again
  released none{info->trigger(object, "open", nullptr)};
  EXPECT_EQ(none->status, API32_E_INDEX);
  info->destroy(object);
}

namespace {

// A class whose accessors and one event throw, as a failing library call might.
struct fragile {
  std::int16_t value = 0;
  std::int16_t explode() { throw std::runtime_error("the call broke"); }
};

std::atomic<int> fragile_forgotten{0};

class_binding<fragile>& fragile_binding() {
  static class_binding<fragile>* b = [] {
    auto* b = new class_binding<fragile>("fragile", "nonvisualobject");
    variable_entry<fragile> broken;
    broken.name = "broken";
    broken.description.type = API32_INTEGER;
    broken.description.type_name = "";
    broken.description.writable = 1;
    broken.get = [](fragile&) -> api32_result* { throw std::bad_alloc(); };
    broken.set = [](fragile&, const api32_value&) -> api32_result* { throw 17; };  // not even an exception
    b->variable(var("value", &fragile::value)).variable(std::move(broken));
    b->function(fn("explode", &fragile::explode, {}));
    b->event("open", [](fragile&, const api32_value*) -> api32_result* { throw std::logic_error("no window"); });
    b->on_destroy([](fragile&) { ++fragile_forgotten; });
    return b;
  }();
  return *b;
}

}  // namespace

TEST(Binding, NothingThrownInsideReachesTheHost) {
  const api32_vtable_info* info = fragile_binding().info();
  void* object = info->create();
  ASSERT_NE(object, nullptr);
  api32_value seven = integer(7);
  struct row {
    const char* what;
    api32_result* result;
    const char* message;  // null: any text
  } rows[] = {
      {"get_variable", info->get_variable(object, "broken"), nullptr},
      {"set_variable", info->set_variable(object, "broken", &seven), "unexpected failure"},
      {"trigger", info->trigger(object, "open", nullptr), "no window"},
      {"invoke", info->invoke(object, 0, nullptr, 0), "the call broke"},
  };
  for (auto& r : rows) {
    released res{r.result};
    ASSERT_NE(r.result, nullptr) << r.what;
    EXPECT_EQ(res->status, API32_E_FAILED) << r.what;
    ASSERT_NE(res->error, nullptr) << r.what;
    if (r.message) {
      EXPECT_STREQ(res->error, r.message) << r.what;
    }
  }
  // the object is still whole and usable after each failure
  released set{info->set_variable(object, "value", &seven)};
  released get{info->get_variable(object, "value")};
  EXPECT_EQ(get->value.i, 7);
  info->destroy(object);
}

TEST(Binding, OfTwoDestroysOfOneObjectExactlyOneDeletesIt) {
  const api32_vtable_info* info = fragile_binding().info();
  // once after the other: the second finds nothing
  void* object = info->create();
  int before = fragile_forgotten;
  info->destroy(object);
  info->destroy(object);
  EXPECT_EQ(fragile_forgotten - before, 1);

  // two threads at once, many times: a check made apart from the removal lets both through now and then
  constexpr int rounds = 100000;
  std::atomic<void*> target{nullptr};
  std::atomic<int> arrived{0};
  std::atomic<int> round{0};
  auto racer = [&] {
    for (int i = 1; i <= rounds; ++i) {
      while (round.load() < i) std::this_thread::yield();
      info->destroy(target.load());
      ++arrived;
    }
  };
  before = fragile_forgotten;
  std::thread a(racer), b(racer);
  for (int i = 1; i <= rounds; ++i) {
    target = info->create();
    arrived = 0;
    round = i;
    while (arrived.load() < 2) std::this_thread::yield();
  }
  a.join();
  b.join();
  EXPECT_EQ(fragile_forgotten - before, rounds);
}
