// desktop_abi.cpp - the desktop classes' entry points, exported by the module libapi32_desktop.so and reached
// through libapi32.so's getVtableInfo_<class>. Objects need a display: create() fails (reason in
// api32_last_error) when GTK cannot open one, and the first object made installs the GTK message presenter.
#include <algorithm>
#include <mutex>
#include <set>
#include <vector>

#include "api32/abi/binding.hpp"
#include "api32/abi/class_registry.hpp"
#include "api32/desktop/desktop_abi_objects.hpp"
#include "api32/desktop/gtk_presenter.hpp"
#include "api32/desktop/gtk_session.hpp"
#include "api32/desktop/trayicon_menu.hpp"
#include "api32/desktop/uo_nv_getopenfilename.hpp"
#include "api32/desktop/uo_nv_trayicon.hpp"
#include "api32/desktop/w_download_addon.hpp"
#include "api32/win32/desktop_tray_menu.hpp"

namespace api32::abi {
namespace {

std::mutex window_mutex;
std::set<const void*>& live_windows() {
  static auto* set = new std::set<const void*>();
  return *set;
}

// A desktop object can be made only where GTK has a display; the first one makes message boxes GTK dialogs.
bool desktop_ready() {
  if (!api32::desktop::gtk_ready()) {
    set_last_error("no display: the desktop classes need GTK and a display (DISPLAY or WAYLAND_DISPLAY)");
    return false;
  }
  static std::once_flag presenter;
  std::call_once(presenter, [] { api32::desktop::install_gtk_presenter(); });
  return true;
}

template <class C>
C* make_desktop_object() {
  return desktop_ready() ? new C() : nullptr;
}

// Windows made through the entry points are the windows a host can hand to a class by reference.
template <class W>
W* make_window() {
  if (!desktop_ready()) return nullptr;
  W* w = new W();
  keep_abi_window(w);
  return w;
}

template <class W>
void forget_window(class_binding<W>& b) {
  b.on_destroy([](W& w) { forget_abi_window(&w); });
  b.event("destructor", [](W&, const api32_value*) { return finish(new_box()); });
}

}  // namespace

void keep_abi_window(api32::window* w) {
  std::lock_guard lock(window_mutex);
  live_windows().insert(w);
}

void forget_abi_window(api32::window* w) {
  std::lock_guard lock(window_mutex);
  live_windows().erase(w);
}

bool is_abi_window(const void* w) {
  std::lock_guard lock(window_mutex);
  return w && live_windows().count(w) != 0;
}

template <>
struct object_name<api32::window> {
  static const char* name() { return "window"; }
  static bool live(const void* object) { return is_abi_window(object); }
};

void lend_menu(api32::trayicon_menu* menu) {
  if (!menu) return;
  menu_binding().adopt(menu);
  menu_item_binding().adopt(&menu->m_test);
}

void forget_menu(api32::trayicon_menu* menu) {
  if (!menu) return;
  menu_item_binding().disown(&menu->m_test);
  menu_binding().disown(menu);
}

template <>
struct record_fields<api32::notifyicondata> {
  static const char* name() { return "notifyicondata"; }
  template <class F>
  static void visit(api32::notifyicondata& r, F&& f) {
    f("cbsize", r.cbsize);
    f("hwnd", r.hwnd);
    f("uid", r.uid);
    f("uflags", r.uflags);
    f("ucallbackmessage", r.ucallbackmessage);
    f("hicon", r.hicon);
    std::vector<char> tip(r.sztip, r.sztip + sizeof r.sztip);  // the 64-character field as a char array
    f("sztip", tip);
    std::fill(std::begin(r.sztip), std::end(r.sztip), '\0');
    std::copy_n(tip.begin(), std::min(tip.size(), sizeof r.sztip), r.sztip);
  }
};

namespace {

class_binding<api32::uo_nv_getopenfilename>& getopenfilename_binding() {
  using G = api32::uo_nv_getopenfilename;
  static class_binding<G>* b = [] {
    auto* b = new class_binding<G>("uo_nv_getopenfilename", "nonvisualobject");
    struct {
      const char* name;
      std::uint32_t value;
    } constants[] = {{"max_length", G::max_length},
                     {"ofn_readonly", G::ofn_readonly},
                     {"ofn_overwriteprompt", G::ofn_overwriteprompt},
                     {"ofn_hidereadonly", G::ofn_hidereadonly},
                     {"ofn_nochangedir", G::ofn_nochangedir},
                     {"ofn_showhelp", G::ofn_showhelp},
                     {"ofn_enablehook", G::ofn_enablehook},
                     {"ofn_enabletemplate", G::ofn_enabletemplate},
                     {"ofn_enabletemplatehandle", G::ofn_enabletemplatehandle},
                     {"ofn_novalidate", G::ofn_novalidate},
                     {"ofn_allowmultiselect", G::ofn_allowmultiselect},
                     {"ofn_extensiondifferent", G::ofn_extensiondifferent},
                     {"ofn_pathmustexist", G::ofn_pathmustexist},
                     {"ofn_filemustexist", G::ofn_filemustexist},
                     {"ofn_createprompt", G::ofn_createprompt},
                     {"ofn_shareaware", G::ofn_shareaware},
                     {"ofn_noreadonlyreturn", G::ofn_noreadonlyreturn},
                     {"ofn_notestfilecreate", G::ofn_notestfilecreate},
                     {"ofn_nonetworkbutton", G::ofn_nonetworkbutton},
                     {"ofn_nolongnames", G::ofn_nolongnames},
                     {"ofn_explorer", G::ofn_explorer},
                     {"ofn_nodereferencelinks", G::ofn_nodereferencelinks},
                     {"ofn_longnames", G::ofn_longnames}};
    for (const auto& c : constants) b->constant(c.name, API32_ULONG, std::to_string(c.value));
    b->function(fn("of_char_string", &G::of_char_string, {"as_string", "ac_char"}))
        .function(fn("of_parse_csv", &G::of_parse_csv, {"as_list", "as_array"}))
        .function(fn("of_string_char", &G::of_string_char, {"ac_char", "as_string"}))
        .function(fn("lastpos", &G::lastpos, {"as_string", "as_findstr"}))
        .function(fn("of_getopenfilename", &G::of_getopenfilename,
                     {"al_hwnd", "as_title", "as_pathname", "as_filename", "as_filter"}))
        .factory(make_desktop_object<G>);
    add_standard_events(*b);
    return b;
  }();
  return *b;
}

class_binding<api32::uo_nv_trayicon>& trayicon_binding() {
  using T = api32::uo_nv_trayicon;
  static class_binding<T>* b = [] {
    auto* b = new class_binding<T>("uo_nv_trayicon", "nonvisualobject");
    b->constant("nim_add", API32_LONG, std::to_string(T::nim_add))
        .constant("nim_modify", API32_LONG, std::to_string(T::nim_modify))
        .constant("nim_delete", API32_LONG, std::to_string(T::nim_delete))
        .constant("nif_messageornif_iconornif_tip", API32_LONG, std::to_string(T::nif_messageornif_iconornif_tip))
        .constant("wm_mousemove", API32_LONG, std::to_string(T::wm_mousemove))
        .constant("image_icon", API32_LONG, std::to_string(T::image_icon))
        .constant("lr_loadfromfile", API32_LONG, std::to_string(T::lr_loadfromfile))
        .variable(var("hicon", &T::hicon, false))
        .variable(var("ia_nid", &T::ia_nid, false))
        .variable(object_variable<T>("imenu", "trayicon_menu",
                                     [](T& t) -> void* {
                                       lend_menu(t.imenu.get());
                                       return t.imenu.get();
                                     }))
        .variable(object_variable<T>("iw_window", "window",
                                     [](T& t) -> void* { return is_abi_window(t.iw_window) ? t.iw_window : nullptr; }))
        .function(fn("addtotray", &T::addtotray, {"aw_window", "as_icon", "as_tips"}))
        .function(fn("of_modifysystrayicon", &T::of_modifysystrayicon, {"as_icon", "as_tip"}))
        .function(fn("removefromtray", &T::removefromtray, {"aw_window"}))
        .function(
            fn("setnotifyicondata", &T::setnotifyicondata, {"hwnd", "id", "flags", "callbackmessage", "icon", "tip"}))
        .function(fn("setforegroundwindow", &T::setforegroundwindow, {"hwnd"}))
        .function(fn("openicon", &T::openicon, {"hwnd"}))
        .factory(make_desktop_object<T>)
        .on_destroy([](T& t) { forget_menu(t.imenu.get()); });
    // Starts over as a new object: the icons it holds are released (a shown icon stays, as on destroy) and
    // its menu is made anew; the menu and item the host read before are no longer valid.
    b->event("constructor", [](T& t, const api32_value*) {
      forget_menu(t.imenu.get());
      t.~T();
      new (&t) T();
      return finish(new_box());
    });
    b->event("destructor", [](T&, const api32_value*) { return finish(new_box()); });
    return b;
  }();
  return *b;
}

class_binding<api32::w_download_addon>& download_binding() {
  using W = api32::w_download_addon;
  static class_binding<W>* b = [] {
    auto* b = new class_binding<W>("w_download_addon", "w_settings");
    b->factory(make_window<W>);
    // the window's open event, with the opening text the host hands it (none = "")
    b->event("open", [](W& w, const api32_value* arg) {
      std::string text;
      std::string why;
      if (arg && !arg->is_null && !value_traits<std::string>::from(*arg, text, why))
        return error_result(API32_E_ARGUMENTS, why);
      w.open(text);
      return finish(new_box());
    });
    b->event("close", [](W& w, const api32_value*) {
      w.close();
      return finish(new_box());
    });
    // Starts over as a new window: closed, with the title it was made with; it keeps its handle.
    b->event("constructor", [](W& w, const api32_value*) {
      w.close();
      w.set_title(W::design_title);
      return finish(new_box());
    });
    forget_window(*b);
    return b;
  }();
  return *b;
}

}  // namespace
}  // namespace api32::abi

extern "C" {
API32_EXPORT const api32_vtable_info* api32_desktop_getVtableInfo_uo_nv_getopenfilename(void) {
  return api32::abi::guarded_info([] { return api32::abi::getopenfilename_binding().info(); });
}
API32_EXPORT const api32_vtable_info* api32_desktop_getVtableInfo_uo_nv_trayicon(void) {
  return api32::abi::guarded_info([] { return api32::abi::trayicon_binding().info(); });
}
API32_EXPORT const api32_vtable_info* api32_desktop_getVtableInfo_trayicon_menu(void) {
  return api32::abi::guarded_info([] { return api32::abi::menu_binding().info(); });
}
API32_EXPORT const api32_vtable_info* api32_desktop_getVtableInfo_w_download_addon(void) {
  return api32::abi::guarded_info([] { return api32::abi::download_binding().info(); });
}
}
