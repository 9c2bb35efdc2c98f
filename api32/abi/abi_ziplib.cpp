// abi_ziplib.cpp - getVtableInfo_uo_nv_ziplib: the zip library's description and operations.
#include "api32/abi/binding.hpp"
#include "api32/abi/class_registry.hpp"
#include "api32/abi/records.hpp"
#include "api32/host/host_services.hpp"
#include "api32/zip/uo_nv_ziplib.hpp"

namespace api32::abi {
namespace {

using Z = api32::uo_nv_ziplib;

class_binding<Z>& ziplib_binding() {
  static class_binding<Z>* b = [] {
    auto* b = new class_binding<Z>("uo_nv_ziplib", "nonvisualobject");
    struct {
      const char* name;
      int value;
    } codes[] = {{"z_ok", Z::z_ok},
                 {"z_stream_end", Z::z_stream_end},
                 {"z_need_dict", Z::z_need_dict},
                 {"z_errno", Z::z_errno},
                 {"z_stream_error", Z::z_stream_error},
                 {"z_data_error", Z::z_data_error},
                 {"z_mem_error", Z::z_mem_error},
                 {"z_buf_error", Z::z_buf_error},
                 {"z_version_error", Z::z_version_error},
                 {"unz_ok", Z::unz_ok},
                 {"unz_end_of_list_of_file", Z::unz_end_of_list_of_file},
                 {"unz_paramerror", Z::unz_paramerror},
                 {"unz_badzipfile", Z::unz_badzipfile},
                 {"unz_internalerror", Z::unz_internalerror},
                 {"unz_crcerror", Z::unz_crcerror},
                 {"zip_ok", Z::zip_ok},
                 {"zip_errno", Z::zip_errno},
                 {"zip_paramerror", Z::zip_paramerror},
                 {"zip_internalerror", Z::zip_internalerror},
                 {"z_deflated", Z::z_deflated}};
    for (const auto& c : codes) b->constant(c.name, API32_INTEGER, std::to_string(c.value));
    b->variable(var("z_default_compression", &Z::z_default_compression))
        .variable(var("id_filedate", &Z::id_filedate))
        .variable(var("it_filetime", &Z::it_filetime));
    // reader
    b->function(fn("of_unzopen", &Z::of_unzopen, {"as_filename"}))
        .function(fn("of_unzclose", &Z::of_unzclose, {"aul_unzfile"}))
        .function(fn("of_unzgetglobalcomment", &Z::of_unzgetglobalcomment, {"aul_unzfile"}))
        .function(fn("of_unzgotofirstfile", &Z::of_unzgotofirstfile, {"aul_unzfile"}))
        .function(fn("of_unzgotonextfile", &Z::of_unzgotonextfile, {"aul_unzfile"}))
        .function(fn("of_unzgetglobalinfo", &Z::of_unzgetglobalinfo, {"aul_unzfile", "aul_entries", "aul_cmtsize"}))
        .function(fn("lastpos", &Z::lastpos, {"as_string", "as_findstr"}))
        .function(fn("of_unzlocatefile", &Z::of_unzlocatefile, {"aul_unzfile", "as_filename"}))
        .function(fn("of_unzopencurrentfile", &Z::of_unzopencurrentfile, {"aul_unzfile"}))
        .function(fn("of_unzclosecurrentfile", &Z::of_unzclosecurrentfile, {"aul_unzfile"}))
        .function(fn("of_unzreadcurrentfile", &Z::of_unzreadcurrentfile, {"aul_unzfile", "ablob_data", "aul_destlen"}))
        // writer, with the two helpers between of_zipopen and of_internal_fa
        .function(fn("of_zipclosefileinzip", &Z::of_zipclosefileinzip, {"aul_zipfile"}))
        .function(fn("of_zipwriteinfileinzip", &Z::of_zipwriteinfileinzip, {"aul_zipfile", "ablob_data"}))
        .function(fn("of_zipclose", &Z::of_zipclose, {"aul_zipfile", "as_comment"}))
        .function(fn("of_zipopen", &Z::of_zipopen, {"as_filename"}))
        .function(fn("of_replaceall", &Z::of_replaceall, {"as_oldstring", "as_findstr", "as_replace"}))
        .function(fn("of_getbit", &Z::of_getbit, {"al_decimal", "aui_bit"}))
        .function(fn("of_internal_fa", &Z::of_internal_fa, {"as_extension"}))
        .function(fn("of_zipopennewfileinzip", &Z::of_zipopennewfileinzip, {"aul_zipfile", "as_filename", "as_folder"}))
        .function(fn("of_importfile", &Z::of_importfile, {"aul_zipfile", "as_filename", "as_folder"}))
        // listing
        .function(fn("of_dwdirectory", &Z::of_dwdirectory, {"as_filename"}))
        .function(fn("of_unzgetcurrentfileinfo", &Z::of_unzgetcurrentfileinfo, {"aul_unzfile"}))
        .function(fn("of_cudwdirectory", &Z::of_cudwdirectory, {"as_filename", "ads", "as_basedir", "ab_extract"}))
        .function(fn("of_cuunzgetcurrentfileinfo", &Z::of_cuunzgetcurrentfileinfo,
                     {"aul_unzfile", "ads", "as_basedir", "ab_extract"}))
        // extraction
        .function(fn("of_extractblob", &Z::of_extractblob, {"aul_unzfile", "as_filename", "ablob_data"}))
        .function(
            fn("of_extractfile", &Z::of_extractfile, {"aul_unzfile", "as_filename", "as_filepath", "as_directory"}))
        .function(
            fn("of_cuextractfile", &Z::of_cuextractfile, {"aul_unzfile", "as_filename", "as_filepath", "as_directory"}))
        .function(fn("of_setlastwritedatetime", &Z::of_setlastwritedatetime, {"as_filename", "astr_filetime"}))
        // buffer compression
        .function(fn("of_compress",
                     static_cast<bool (Z::*)(const api32::blob&, std::optional<api32::blob>&)>(&Z::of_compress),
                     {"ablob_source", "ablob_dest"}))
        .function(fn("of_compress",
                     static_cast<bool (Z::*)(const std::string&, std::optional<api32::blob>&)>(&Z::of_compress),
                     {"as_source", "ablob_dest"}))
        .function(fn(
            "of_uncompress",
            static_cast<bool (Z::*)(const api32::blob&, std::uint32_t, std::optional<api32::blob>&)>(&Z::of_uncompress),
            {"ablob_src", "aul_destlen", "ablob_dest"}))
        .function(fn(
            "of_uncompress",
            static_cast<bool (Z::*)(const api32::blob&, std::uint32_t, std::optional<std::string>&)>(&Z::of_uncompress),
            {"ablob_src", "aul_destlen", "as_dest"}));
    add_standard_events(*b);
    // A host that handed this object to the host services as gziplib and then destroys it must not leave them
    // pointing at freed memory: later archive calls then fail as they do without a zip library.
    b->on_destroy([](Z& zip) {
      auto& services = api32::host::globals();
      if (services.gziplib.get() == &zip) services.gziplib.reset();
    });
    return b;
  }();
  return *b;
}

}  // namespace

api32::uo_nv_ziplib* ziplib_from_object(void* object) { return ziplib_binding().live(object); }

}  // namespace api32::abi

extern "C" API32_EXPORT const api32_vtable_info* getVtableInfo_uo_nv_ziplib(void) {
  return api32::abi::guarded_info([] { return api32::abi::ziplib_binding().info(); });
}
