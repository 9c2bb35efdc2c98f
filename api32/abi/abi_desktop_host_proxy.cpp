// abi_desktop_host_proxy.cpp - host windows, the main loop and event callbacks in libapi32.so: each call is
// passed to the desktop module, loaded on first use; without it they answer as for no window.
#include "api32/abi/api32.h"
#include "api32/abi/class_registry.hpp"

namespace {

// The module's entry point `name` with the type of the call that forwards to it; null when it is missing.
template <class F>
F* entry(const char* name) {
  return reinterpret_cast<F*>(api32::abi::desktop_entry(name));
}

}  // namespace

extern "C" {

API32_EXPORT const api32_vtable_info* getVtableInfo_menu_item(void) { return api32::abi::desktop_class("menu_item"); }

API32_EXPORT void* api32_window_create(const char* title) {
  auto* f = entry<void*(const char*)>("api32_desktop_window_create");
  return f ? f(title) : nullptr;
}

API32_EXPORT void api32_window_destroy(void* window) {
  if (auto* f = entry<void(void*)>("api32_desktop_window_destroy")) f(window);
}

API32_EXPORT uint32_t api32_window_handle(const void* window) {
  auto* f = entry<uint32_t(const void*)>("api32_desktop_window_handle");
  return f ? f(window) : 0;
}

API32_EXPORT int32_t api32_window_set_callback(void* window, api32_message_callback callback, void* user) {
  auto* f = entry<int32_t(void*, api32_message_callback, void*)>("api32_desktop_window_set_callback");
  return f ? f(window, callback, user) : API32_E_UNAVAILABLE;
}

API32_EXPORT int32_t api32_window_next_message(void* window, api32_message* out) {
  auto* f = entry<int32_t(void*, api32_message*)>("api32_desktop_window_next_message");
  return f ? f(window, out) : 0;
}

API32_EXPORT uint64_t api32_window_dropped(const void* window) {
  auto* f = entry<uint64_t(const void*)>("api32_desktop_window_dropped");
  return f ? f(window) : 0;
}

API32_EXPORT int32_t api32_send_message(uint32_t hwnd, uint32_t message, uint64_t wparam, int64_t lparam) {
  auto* f = entry<int32_t(uint32_t, uint32_t, uint64_t, int64_t)>("api32_desktop_send_message");
  return f ? f(hwnd, message, wparam, lparam) : 0;
}

API32_EXPORT int32_t api32_post_message(uint32_t hwnd, uint32_t message, uint64_t wparam, int64_t lparam) {
  auto* f = entry<int32_t(uint32_t, uint32_t, uint64_t, int64_t)>("api32_desktop_post_message");
  return f ? f(hwnd, message, wparam, lparam) : 0;
}

API32_EXPORT int32_t api32_pump(int32_t milliseconds) {
  auto* f = entry<int32_t(int32_t)>("api32_desktop_pump");
  return f ? f(milliseconds) : -1;
}

API32_EXPORT int32_t api32_set_event_callback(void* object, const char* type_name, const char* event,
                                              api32_event_callback callback, void* user) {
  auto* f =
      entry<int32_t(void*, const char*, const char*, api32_event_callback, void*)>("api32_desktop_set_event_callback");
  return f ? f(object, type_name, event, callback, user) : API32_E_UNAVAILABLE;
}

}  // extern "C"
