/* A C host: api32.h compiles as C99, and the zip library is driven through its entry point. */
#include <stdio.h>
#include <string.h>

#include "api32/abi/api32.h"

static int failures = 0;
#define CHECK(cond, what)                 \
  do {                                    \
    if (!(cond)) {                        \
      printf("FAILED: %s\n", what);       \
      ++failures;                         \
    }                                     \
  } while (0)

int main(void) {
  const api32_vtable_info* info = getVtableInfo_uo_nv_ziplib();
  int32_t i, index = -1;
  void* object;
  api32_value args[3];
  api32_result* r;
  CHECK(info && info->abi_version == API32_ABI_VERSION, "version");
  CHECK(api32_find_class("uo_nv_ziplib") == info, "find by name");
  CHECK(api32_find_class("no_such_class") == NULL && strlen(api32_last_error()) > 0, "unknown class");
  for (i = 0; i < info->function_count; ++i)
    if (strcmp(info->functions[i].name, "of_replaceall") == 0) index = i;
  CHECK(index >= 0, "of_replaceall listed");
  object = info->create();
  memset(args, 0, sizeof args);
  args[0].type = args[1].type = args[2].type = API32_STRING;
  args[0].text = "a/b/c";
  args[1].text = "/";
  args[2].text = "\\";
  r = info->invoke(object, index, args, 3);
  CHECK(r && r->status == API32_OK && strcmp(r->value.text, "a\\b\\c") == 0, "of_replaceall result");
  api32_release(r);
  r = info->invoke(object, index, args, 2);
  CHECK(r && r->status == API32_E_ARGUMENTS && r->error != NULL, "argument count checked");
  api32_release(r);
  info->destroy(object);
  printf("%d failures\n", failures);
  return failures == 0 ? 0 : 1;
}
