// abi_classes.cpp - getVtableInfo_ for uo_nv_compression, uo_nv_process, uo_nv_file and uo_nv_devil.
#include "api32/abi/binding.hpp"
#include "api32/abi/records.hpp"
#include "api32/compression/uo_nv_compression.hpp"
#include "api32/file/uo_nv_file.hpp"
#include "api32/image/uo_nv_devil.hpp"
#include "api32/process/uo_nv_process.hpp"

namespace api32::abi {
namespace {

class_binding<api32::uo_nv_compression>& compression_binding() {
  using K = api32::uo_nv_compression;
  static class_binding<K>* b = [] {
    auto* b = new class_binding<K>("uo_nv_compression", "nonvisualobject");
    b->constant("rar_extract", API32_STRING, K::rar_extract)
        .constant("rar_extract_all", API32_STRING, K::rar_extract_all)
        .constant("rar_add", API32_STRING, K::rar_add)
        .constant("rar_addall", API32_STRING, K::rar_addall)
        .constant("format_zip", API32_INTEGER, std::to_string(K::format_zip))
        .constant("format_rar", API32_INTEGER, std::to_string(K::format_rar))
        .constant("rar_id", API32_ULONG, std::to_string(K::rar_id))
        .variable(var("compression_format", &K::compression_format))
        .variable(var("is_archive", &K::is_archive))
        .function(fn("of_unzopen", &K::of_unzopen, {"as_filename"}))
        .function(fn("of_unzclose", &K::of_unzclose, {"aul_unzfile"}))
        .function(fn("of_unzlocatefile", &K::of_unzlocatefile, {"aul_unzfile", "as_filename"}))
        .function(fn("of_zipclose", &K::of_zipclose, {"aul_zipfile", "as_comment"}))
        .function(fn("of_zipopen", &K::of_zipopen, {"as_filename"}))
        .function(
            fn("of_extractfile", &K::of_extractfile, {"aul_unzfile", "as_filename", "as_filepath", "as_directory"}))
        .function(fn("of_cudwdirectory", &K::of_cudwdirectory, {"as_filename", "ads", "as_basedir", "ab_extract"}))
        .function(
            fn("of_importfile", &K::of_importfile, {"aul_zipfile", "as_filename", "as_folder", "as_srcdirectory"}));
    add_standard_events(*b);
    return b;
  }();
  return *b;
}

class_binding<api32::uo_nv_process>& process_binding() {
  using P = api32::uo_nv_process;
  static class_binding<P>* b = [] {
    auto* b = new class_binding<P>("uo_nv_process", "nonvisualobject");
    b->constant("infinite", API32_ULONG, std::to_string(P::infinite))
        .constant("normal_priority_class", API32_ULONG, std::to_string(P::normal_priority_class))
        .constant("idle_priority_class", API32_ULONG, std::to_string(P::idle_priority_class))
        .constant("high_priority_class", API32_ULONG, std::to_string(P::high_priority_class))
        .constant("realtime_priority_class", API32_ULONG, std::to_string(P::realtime_priority_class))
        .function(fn("of_setpriority", &P::of_setpriority, {"aul_priority"}))
        .function(fn("of_setcurrentdirectory", &P::of_setcurrentdirectory, {"as_directory"}))
        .function(fn("of_isenabled", &P::of_isenabled, {"aul_feature"}))
        .function(fn("of_setposition", &P::of_setposition, {"aul_x", "aul_y"}))
        .function(fn("of_setsize", &P::of_setsize, {"aul_width", "aul_height"}))
        .function(fn("of_setwindow", &P::of_setwindow, {"as_windowstate"}))
        .function(fn("of_settimeout", &P::of_settimeout, {"adec_seconds"}))
        .function(fn("of_runandwait", &P::of_runandwait,
                     {"as_command", "as_option", "as_directory", "ab_bis", "ab_wait", "ab_hide"}))
        .function(fn("of_isprocesseexist", &P::of_isprocesseexist, {"as_processename", "ai_sameprocesscount"}));
    add_standard_events(*b);
    return b;
  }();
  return *b;
}

class_binding<api32::uo_nv_file>& file_binding() {
  using F = api32::uo_nv_file;
  static class_binding<F>* b = [] {
    auto* b = new class_binding<F>("uo_nv_file", "nonvisualobject");
    b->constant("file_attribute_readonly", API32_ULONG, std::to_string(F::file_attribute_readonly))
        .constant("file_attribute_hidden", API32_ULONG, std::to_string(F::file_attribute_hidden))
        .constant("file_attribute_system", API32_ULONG, std::to_string(F::file_attribute_system))
        .constant("file_attribute_archive", API32_ULONG, std::to_string(F::file_attribute_archive))
        .constant("file_attribute_normal", API32_ULONG, std::to_string(F::file_attribute_normal))
        .function(fn("of_convertfiledatetimetopb", &F::of_convertfiledatetimetopb,
                     {"astr_filetime", "ad_filedate", "at_filetime"}))
        .function(fn("of_convertfiledatetimetopblocal", &F::of_convertfiledatetimetopblocal,
                     {"astr_filetime", "ad_filedate", "at_filetime"}))
        .function(fn("of_convertpbdatetimetofile", &F::of_convertpbdatetimetofile,
                     {"ad_filedate", "at_filetime", "astr_filetime"}))
        .function(fn("of_getcreationdatetime", &F::of_getcreationdatetime, {"as_filename", "ad_date", "at_time"}))
        .function(fn("of_getlastwritedatetime", &F::of_getlastwritedatetime, {"as_filename", "ad_date", "at_time"}))
        .function(
            fn("of_getlastwritedatetimelocal", &F::of_getlastwritedatetimelocal, {"as_filename", "ad_date", "at_time"}))
        .function(fn("of_setfileattribute_normal", &F::of_setfileattribute_normal, {"as_file"}))
        .function(fn("of_setlastwritedatetime", &F::of_setlastwritedatetime, {"as_filename", "ad_date", "at_time"}));
    add_standard_events(*b);
    return b;
  }();
  return *b;
}

class_binding<api32::uo_nv_devil>& devil_binding() {
  using D = api32::uo_nv_devil;
  static class_binding<D>* b = [] {
    auto* b = new class_binding<D>("uo_nv_devil", "nonvisualobject");
    b->variable(var("devil_ready", &D::devil_ready, false))
        .function(fn("ilinit", &D::ilinit, {}))
        .function(fn("iluinit", &D::iluinit, {}))
        .function(fn("ilbindimage", &D::ilbindimage, {"image"}))
        .function(fn("illoadimage", &D::illoadimage, {"bfilename"}))
        .function(fn("ilload", &D::ilload, {"num", "bfilename"}))
        .function(fn("ilsaveimage", &D::ilsaveimage, {"bfilename"}))
        .function(fn("ildeleteimages", &D::ildeleteimages, {"num", "images"}))
        .function(fn("ilgeterror", &D::ilgeterror, {}))
        .function(fn("tgatobmps", &D::tgatobmps, {"bfilename_src", "bfilename_dest", "bfilename_desta"}));
    add_standard_events(*b);
    return b;
  }();
  return *b;
}

}  // namespace
}  // namespace api32::abi

extern "C" {
API32_EXPORT const api32_vtable_info* getVtableInfo_uo_nv_compression(void) {
  return api32::abi::guarded_info([] { return api32::abi::compression_binding().info(); });
}
API32_EXPORT const api32_vtable_info* getVtableInfo_uo_nv_process(void) {
  return api32::abi::guarded_info([] { return api32::abi::process_binding().info(); });
}
API32_EXPORT const api32_vtable_info* getVtableInfo_uo_nv_file(void) {
  return api32::abi::guarded_info([] { return api32::abi::file_binding().info(); });
}
API32_EXPORT const api32_vtable_info* getVtableInfo_uo_nv_devil(void) {
  return api32::abi::guarded_info([] { return api32::abi::devil_binding().info(); });
}
}
