// cmd_abi.cpp - classes and call: the library driven by name through its exported entry points, as any host
// would drive it.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "api32/abi/api32.h"
#include "commands.hpp"
#include "host_setup.hpp"
#include "output.hpp"

namespace api32::tool {
namespace {

std::string type_text(int32_t type, const char* type_name) {
  static const char* names[] = {"none",    "integer",  "uint",     "long",   "ulong",  "boolean",
                                "decimal", "double",   "char",     "string", "blob",   "date",
                                "time",    "datetime", "string[]", "char[]", "record", "object"};
  std::string t = type >= 0 && type <= API32_OBJECT ? names[type] : "?";
  if ((type == API32_RECORD || type == API32_OBJECT) && type_name && *type_name) t = type_name;
  return t;
}

std::string signature(const api32_function& f) {
  std::string s = type_text(f.result_type, f.result_type_name) + " " + f.name + "(";
  for (int32_t i = 0; i < f.param_count; ++i) {
    const api32_param& p = f.params[i];
    s += std::string(i ? ", " : "") + (p.by_ref ? "ref " : "") + type_text(p.type, p.type_name) + " " + p.name;
  }
  return s + ")";
}

int list_classes(bool functions) {
  for (const char* const* name = api32_class_names(); *name; ++name) {
    const api32_vtable_info* info = api32_find_class(*name);
    if (!info) {
      std::printf("%-24s unavailable: %s\n", *name, api32_last_error());
      continue;
    }
    std::printf("%-24s from %s, %d constants, %d variables, %d functions\n", info->class_name, info->ancestor,
                info->constant_count, info->variable_count, info->function_count);
    if (functions)
      for (int32_t i = 0; i < info->function_count; ++i) std::printf("    %s\n", signature(info->functions[i]).c_str());
  }
  return 0;
}

// Arguments converted from their text; everything they point to lives as long as the object.
struct argument_store {
  std::deque<std::string> texts;
  std::deque<std::vector<uint8_t>> bytes;
  std::deque<std::vector<api32_value>> arrays;
  std::vector<void*> datastores;
  ~argument_store() {
    for (void* ds : datastores) api32_datastore_destroy(ds);
  }
};

bool parse_integer(const std::string& text, int64_t& out) {
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(text.c_str(), &end, 0);
  if (errno || end == text.c_str() || *end) return false;
  out = v;
  return true;
}

// Converts one command-line text to a value of the parameter's type; "<null>" is the null value.
bool convert(const api32_param& p, const std::string& text, argument_store& store, api32_value& v, std::string& why) {
  v = api32_value{};
  v.type = p.type;
  v.type_name = p.type_name;
  if (text == "<null>") {
    v.is_null = 1;
    return true;
  }
  switch (p.type) {
    case API32_INTEGER:
    case API32_UINT:
    case API32_LONG:
    case API32_ULONG:
      if (!parse_integer(text, v.i)) {
        why = "not a whole number: " + text;
        return false;
      }
      return true;
    case API32_CHAR:
      if (text.size() == 1)
        v.i = static_cast<unsigned char>(text[0]);
      else if (!parse_integer(text, v.i)) {
        why = "not a character: " + text;
        return false;
      }
      return true;
    case API32_BOOLEAN:
      if (text == "true" || text == "1" || text == "yes")
        v.i = 1;
      else if (text == "false" || text == "0" || text == "no")
        v.i = 0;
      else {
        why = "not a boolean (true/false): " + text;
        return false;
      }
      return true;
    case API32_DOUBLE: {
      char* end = nullptr;
      v.d = std::strtod(text.c_str(), &end);
      if (end == text.c_str() || *end) {
        why = "not a number: " + text;
        return false;
      }
      return true;
    }
    case API32_DECIMAL:
    case API32_STRING:
    case API32_DATE:
    case API32_TIME:
    case API32_DATETIME:
      store.texts.push_back(text);
      v.text = store.texts.back().c_str();
      v.size = store.texts.back().size();
      return true;
    case API32_BLOB:
    case API32_CHAR_ARRAY: {
      std::vector<uint8_t> data;
      if (p.type == API32_BLOB && !text.empty() && text[0] == '@') {  // @file: the file's bytes
        std::ifstream in(native_path(text.substr(1)), std::ios::binary);
        if (!in) {
          why = "cannot read " + text.substr(1);
          return false;
        }
        data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
      } else {
        data.assign(text.begin(), text.end());
      }
      store.bytes.push_back(std::move(data));
      v.bytes = store.bytes.back().data();
      v.size = store.bytes.back().size();
      return true;
    }
    case API32_STRING_ARRAY: {  // items separated by commas; "" is the empty array
      std::vector<api32_value> items;
      std::size_t from = 0;
      while (!text.empty() && from <= text.size()) {
        std::size_t comma = text.find(',', from);
        if (comma == std::string::npos) comma = text.size();
        store.texts.push_back(text.substr(from, comma - from));
        api32_value item{};
        item.type = API32_STRING;
        item.text = store.texts.back().c_str();
        item.size = store.texts.back().size();
        items.push_back(item);
        from = comma + 1;
      }
      store.arrays.push_back(std::move(items));
      v.items = store.arrays.back().data();
      v.count = store.arrays.back().size();
      return true;
    }
    case API32_RECORD: {  // field=value,field=value (whole numbers)
      std::vector<api32_value> fields;
      std::size_t from = 0;
      while (!text.empty() && from <= text.size()) {
        std::size_t comma = text.find(',', from);
        if (comma == std::string::npos) comma = text.size();
        std::string part = text.substr(from, comma - from);
        std::size_t eq = part.find('=');
        api32_value f{};
        if (eq == std::string::npos || !parse_integer(part.substr(eq + 1), f.i)) {
          why = "record fields are written field=number: " + part;
          return false;
        }
        store.texts.push_back(part.substr(0, eq));
        f.name = store.texts.back().c_str();
        f.type = API32_ULONG;
        fields.push_back(f);
        from = comma + 1;
      }
      store.arrays.push_back(std::move(fields));
      v.items = store.arrays.back().data();
      v.count = store.arrays.back().size();
      return true;
    }
    case API32_OBJECT:
      if (std::string(p.type_name ? p.type_name : "") == "datastore") {  // the text names the layout
        void* ds = api32_datastore_create(text.c_str());
        if (!ds) {
          why = api32_last_error();
          return false;
        }
        store.datastores.push_back(ds);
        v.object = ds;
        return true;
      }
      why =
          std::string("objects of class ") + (p.type_name ? p.type_name : "?") + " cannot be given on the command line";
      return false;
    default:
      why = "unsupported parameter type";
      return false;
  }
}

std::string show(const api32_value& v) {
  if (v.is_null) return "<null>";
  switch (v.type) {
    case API32_NONE:
      return "";
    case API32_BOOLEAN:
      return v.i ? "true" : "false";
    case API32_INTEGER:
    case API32_UINT:
    case API32_LONG:
    case API32_ULONG:
    case API32_CHAR:
      return std::to_string(v.i);
    case API32_DOUBLE:
      return std::to_string(v.d);
    case API32_BLOB:
    case API32_CHAR_ARRAY: {
      std::string text(reinterpret_cast<const char*>(v.bytes), v.size);
      return std::to_string(v.size) + " bytes " + json_quote(text.substr(0, 200)) + (v.size > 200 ? "..." : "");
    }
    case API32_STRING_ARRAY: {
      std::string s = "[";
      for (size_t i = 0; i < v.count; ++i)
        s += (i ? ", " : "") + json_quote(std::string(v.items[i].text, v.items[i].size));
      return s + "]";
    }
    case API32_RECORD: {
      std::string s = "{";
      for (size_t i = 0; i < v.count; ++i) s += std::string(i ? ", " : "") + v.items[i].name + "=" + show(v.items[i]);
      return s + "}";
    }
    case API32_OBJECT:
      return std::string("<") + (v.type_name ? v.type_name : "object") + ">";
    default:
      return v.text ? std::string(v.text, v.size ? v.size : std::strlen(v.text)) : "";
  }
}

void print_datastore(void* ds) {
  int32_t rows = api32_datastore_rowcount(ds);
  std::printf("  %d rows\n", rows);
  for (int32_t r = 1; r <= rows; ++r) {
    std::string line;
    for (const char* column : {"filename", "filepath", "fullname", "name", "id"}) {
      api32_result* item = api32_datastore_getitem(ds, r, column);
      if (item && item->status == API32_OK && !item->value.is_null) line += std::string("  ") + show(item->value);
      api32_release(item);
    }
    std::printf("  %s\n", line.c_str());
  }
}

int call(const std::string& class_name, const std::string& function, const std::vector<std::string>& texts) {
  const api32_vtable_info* info = api32_find_class(class_name.c_str());
  if (!info) {
    fail(api32_last_error());
    return 2;
  }
  // the overload whose parameters take the arguments given
  int32_t chosen = -1;
  bool named = false;
  std::string why;
  argument_store store;
  std::vector<api32_value> args;
  for (int32_t i = 0; i < info->function_count && chosen < 0; ++i) {
    const api32_function& f = info->functions[i];
    if (function != f.name) continue;
    named = true;
    if (f.param_count != static_cast<int32_t>(texts.size())) {
      why = "expects " + std::to_string(f.param_count) + " arguments: " + signature(f);
      continue;
    }
    argument_store attempt;
    std::vector<api32_value> converted(texts.size());
    bool ok = true;
    for (size_t k = 0; k < texts.size() && ok; ++k) {
      std::string reason;
      ok = convert(f.params[k], texts[k], attempt, converted[k], reason);
      if (!ok) why = std::string(f.params[k].name) + ": " + reason;
    }
    if (!ok) continue;
    chosen = i;
    std::swap(store.texts, attempt.texts);
    std::swap(store.bytes, attempt.bytes);
    std::swap(store.arrays, attempt.arrays);
    std::swap(store.datastores, attempt.datastores);
    args = std::move(converted);
  }
  if (!named) {
    fail("class " + class_name + " has no function " + function);
    return 2;
  }
  if (chosen < 0) {
    fail(function + " " + why);
    return 2;
  }
  void* object = info->create();
  if (!object) {
    fail(std::string("cannot create ") + class_name + ": " + api32_last_error());
    return 1;
  }
  api32_result* r = info->invoke(object, chosen, args.data(), static_cast<int32_t>(args.size()));
  int status = 0;
  if (!r || r->status != API32_OK) {
    fail(r && r->error ? r->error : "the call failed");
    status = 1;
  } else {
    const api32_function& f = info->functions[chosen];
    if (f.result_type != API32_NONE) std::printf("result = %s\n", show(r->value).c_str());
    size_t out = 0;
    for (int32_t k = 0; k < f.param_count; ++k) {
      if (!f.params[k].by_ref || out >= r->out_count) continue;
      const api32_value& v = r->out[out++];
      std::printf("%s = %s\n", f.params[k].name, show(v).c_str());
      if (v.type == API32_OBJECT && v.object) print_datastore(v.object);
    }
  }
  api32_release(r);
  info->destroy(object);
  return status;
}

}  // namespace

void add_abi_commands(CLI::App& app, int& status) {
  auto* classes = app.add_subcommand("classes", "list the library's classes, as their entry points describe them");
  static bool with_functions = false;
  classes->add_flag("--functions", with_functions, "show every function's signature");
  classes->callback([&status] { status = list_classes(with_functions); });

  auto* c = app.add_subcommand("call", "call any function of a class by name (arguments as text; <null> is null)");
  static std::string class_name, function;
  static std::vector<std::string> arguments;
  c->add_option("CLASS", class_name)->required();
  c->add_option("FUNCTION", function)->required();
  c->add_option("ARG", arguments, "arguments; datastore parameters take a layout name such as d_zipfiles");
  c->callback([&status] { status = call(class_name, function, arguments); });
}

}  // namespace api32::tool
