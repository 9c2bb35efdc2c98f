// abi_common.cpp - the exported calls every host uses: release, version, class names, datastores, host values.
#include <memory>
#include <mutex>
#include <set>

#include "api32/abi/binding.hpp"
#include "api32/abi/class_registry.hpp"
#include "api32/host/host_services.hpp"
#include "api32/version.hpp"
#include "api32/zip/uo_nv_ziplib.hpp"

namespace api32::abi {
namespace {

std::mutex datastore_mutex;
std::set<const void*>& live_datastores() {
  static auto* set = new std::set<const void*>();
  return *set;
}

thread_local std::string last_error_text;

}  // namespace

bool object_name<api32::datastore>::live(const void* object) {
  std::lock_guard lock(datastore_mutex);
  return live_datastores().count(object) != 0;
}

void set_last_error(std::string text) noexcept { last_error_text.swap(text); }

}  // namespace api32::abi

using namespace api32::abi;

namespace {
int32_t set_host_value(const char* name, const api32_value* value);
}

extern "C" {

API32_EXPORT void api32_release(api32_result* result) {
  // api32_result is the first member of result_box, which owns everything the result points to
  delete reinterpret_cast<result_box*>(result);
}

API32_EXPORT const char* api32_version(void) { return api32::version(); }

API32_EXPORT const char* const* api32_class_names(void) { return class_names(); }

API32_EXPORT const char* api32_last_error(void) { return last_error_text.c_str(); }

API32_EXPORT void* api32_datastore_create(const char* layout_name) {
  try {
    const api32::table_layout* shape = layout_by_name(layout_name ? layout_name : "");
    if (!shape) {
      set_last_error(std::string("no table layout named ") + (layout_name ? layout_name : "(null)"));
      return nullptr;
    }
    auto ds = std::make_unique<api32::datastore>(*shape);
    std::lock_guard lock(datastore_mutex);
    live_datastores().insert(ds.get());
    return ds.release();
  } catch (...) {
    return nullptr;
  }
}

API32_EXPORT void api32_datastore_destroy(void* datastore) {
  try {
    std::lock_guard lock(datastore_mutex);
    if (!live_datastores().erase(datastore)) return;
  } catch (...) {
    return;
  }
  delete static_cast<api32::datastore*>(datastore);
}

API32_EXPORT int32_t api32_datastore_rowcount(const void* datastore) {
  try {
    if (!object_name<api32::datastore>::live(datastore)) return -1;
    return static_cast<const api32::datastore*>(datastore)->rowcount();
  } catch (...) {
    return -1;
  }
}

API32_EXPORT api32_result* api32_datastore_getitem(const void* datastore, int32_t row, const char* column) {
  return guarded([&] {
    if (!object_name<api32::datastore>::live(datastore)) return error_result(API32_E_OBJECT, "not a datastore");
    auto value = static_cast<const api32::datastore*>(datastore)->getitemstring(row, column ? column : "");
    owned_box box(new_box());
    value_traits<std::optional<std::string>>::to(box->arena, value, box->result.value);
    return finish(std::move(box));
  });
}

API32_EXPORT int32_t api32_host_set(const char* name, const api32_value* value) {
  try {
    return set_host_value(name, value);
  } catch (...) {
    return API32_E_FAILED;
  }
}

API32_EXPORT void api32_set_extraction_limit(uint64_t bytes) { api32::host::globals().extraction_limit = bytes; }

API32_EXPORT void api32_set_extraction_report(api32_skipped_entry_callback callback, void* user) {
  auto& listener = api32::host::globals().entry_not_extracted;
  if (!callback) {
    listener = nullptr;
    return;
  }
  listener = [callback, user](const api32::host::skipped_entry& e) {
    callback(e.archive.c_str(), e.entry.c_str(), e.reason.c_str(), user);
  };
}

}  // extern "C"

namespace {

int32_t set_host_value(const char* name, const api32_value* value) {
  if (!name || !value) return API32_E_ARGUMENTS;
  auto& g = api32::host::globals();
  std::string key = name;
  if (key == "gziplib") {
    if (value->type != API32_OBJECT) return API32_E_ARGUMENTS;
    if (value->is_null || !value->object) {
      g.gziplib.reset();
      return API32_OK;
    }
    api32::uo_nv_ziplib* zip = ziplib_from_object(value->object);
    if (!zip) return API32_E_OBJECT;
    // the host keeps ownership of its object: share it without deleting it
    g.gziplib = std::shared_ptr<api32::uo_nv_ziplib>(zip, [](api32::uo_nv_ziplib*) {});
    return API32_OK;
  }
  std::string text;
  std::string why;
  if (!value_traits<std::string>::from(*value, text, why)) return API32_E_ARGUMENTS;
  if (key == "app_path")
    g.app_path = text;
  else if (key == "app_addon_url")
    g.app_addon_url = text;
  else if (key == "game_name")
    g.game_name = text;
  else if (key == "download_folder")
    g.download_folder = text;
  else
    return API32_E_INDEX;
  return API32_OK;
}

}  // namespace
