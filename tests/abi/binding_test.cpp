// The class binding: descriptions derived from member signatures, checked arguments, written-back values.
#include <gtest/gtest.h>

#include <cstring>

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
