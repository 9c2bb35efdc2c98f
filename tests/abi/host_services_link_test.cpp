// The exported entry points as a host drives them, with the host services visible: an object handed to the
// host services and then destroyed by the host is not used afterwards.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "api32/abi/api32.h"
#include "api32/host/host_services.hpp"
#include "support/test_support.hpp"

namespace {

api32_value object_value(void* object) {
  api32_value v{};
  v.type = API32_OBJECT;
  v.object = object;
  return v;
}

api32_value text_value(const std::string& s) {
  api32_value v{};
  v.type = API32_STRING;
  v.text = s.c_str();
  v.size = s.size();
  return v;
}

int32_t function_index(const api32_vtable_info* info, const char* name) {
  for (int32_t i = 0; i < info->function_count; ++i)
    if (std::strcmp(info->functions[i].name, name) == 0) return i;
  return -1;
}

}  // namespace

TEST(HostServices, AZipLibraryTheHostDestroysIsForgotten) {
  api32::testing::temp_dir dir;
  ASSERT_EQ(api32::testing::run("cd '" + dir.path() + "' && printf 'x' > a.txt && zip -q m.zip a.txt"), 0);
  const api32_vtable_info* ziplib = getVtableInfo_uo_nv_ziplib();
  const api32_vtable_info* compression = getVtableInfo_uo_nv_compression();
  ASSERT_NE(ziplib, nullptr);
  ASSERT_NE(compression, nullptr);

  void* kept = ziplib->create();
  void* dropped = ziplib->create();
  api32_value value = object_value(kept);
  ASSERT_EQ(api32_host_set("gziplib", &value), API32_OK);
  ziplib->destroy(dropped);  // another object going away leaves the setting alone
  EXPECT_EQ(static_cast<void*>(api32::host::globals().gziplib.get()), kept);

  void* front = compression->create();
  int32_t unzopen = function_index(compression, "of_unzopen");
  ASSERT_GE(unzopen, 0);
  std::string archive_path = dir.windows("m.zip");
  api32_value archive = text_value(archive_path);
  api32_result* opened = compression->invoke(front, unzopen, &archive, 1);
  ASSERT_EQ(opened->status, API32_OK);
  EXPECT_NE(opened->value.i, 0);  // read through the host's zip library
  api32_release(opened);

  ziplib->destroy(kept);
  EXPECT_EQ(api32::host::globals().gziplib, nullptr);
  // the next call fails as with no zip library, instead of reaching freed memory
  opened = compression->invoke(front, unzopen, &archive, 1);
  ASSERT_EQ(opened->status, API32_OK);
  EXPECT_EQ(opened->value.i, 0);
  api32_release(opened);
  compression->destroy(front);
}
