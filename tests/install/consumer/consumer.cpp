// A program outside the project that uses the installed library: lists an archive and compresses a buffer.
#include <cstdio>

#include "api32/abi/api32.h"
#include "api32/runtime/datastore.hpp"
#include "api32/zip/uo_nv_ziplib.hpp"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  api32::uo_nv_ziplib zip;
  std::string listing = zip.of_dwdirectory(argv[1]);
  std::optional<api32::blob> packed;
  bool ok = zip.of_compress(std::string("consumer"), packed);
  std::printf("%s\n%s %s\n", listing.c_str(), ok ? "compressed" : "failed", getVtableInfo_uo_nv_ziplib()->class_name);
  return listing.empty() || !ok ? 1 : 0;
}
