// Tests of LoadLibraryA / GetProcAddress / FreeLibrary and of library substitutes.
#include <gtest/gtest.h>

#include "api32/win32/handles.hpp"
#include "api32/win32/module.hpp"

namespace api32::win32 {
namespace {

int substitute_answer() { return 42; }

TEST(Module, RealLibraryEntryPointsAreCallable) {
  const std::size_t modules_before = handles().count(handle_kind::module);
  for (const char* name :
       {"libz.so.1", "/usr/lib/x86_64-linux-gnu/libz.so.1", "Z:\\usr\\lib\\x86_64-linux-gnu\\LIBZ.SO.1"}) {
    SCOPED_TRACE(name);
    HMODULE module = LoadLibraryA(name);
    ASSERT_NE(module, 0u) << GetLastError();
    auto zlib_version = reinterpret_cast<const char* (*)()>(GetProcAddress(module, "zlibVersion"));
    ASSERT_NE(zlib_version, nullptr);
    EXPECT_EQ(zlib_version()[0], '1');
    EXPECT_EQ(FreeLibrary(module), TRUE_);
  }
  EXPECT_EQ(handles().count(handle_kind::module), modules_before);
}

TEST(Module, FailuresSetTheWin32Codes) {
  for (const char* name :
       {"libapi32-no-such-library.so.7", "", "C:\\Windows\\no-such.dll", "\\\\server\\share\\x.dll"}) {
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA(name), 0u) << name;
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND) << name;
  }

  unique_module zlib(LoadLibraryA("libz.so.1"));
  ASSERT_TRUE(zlib);
  SetLastError(0);
  EXPECT_EQ(GetProcAddress(zlib.get(), "noSuchEntryPoint"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  EXPECT_EQ(GetProcAddress(zlib.get(), ""), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);

  // Stale and foreign values: 0, a freed module, a handle of another kind.
  HMODULE freed = LoadLibraryA("libz.so.1");
  ASSERT_NE(freed, 0u);
  ASSERT_EQ(FreeLibrary(freed), TRUE_);
  const std::uint32_t other_kind = handles().add(handle_kind::other, std::make_shared<int>(1));
  for (HMODULE bad : {HMODULE{0}, freed, other_kind}) {
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(bad, "zlibVersion"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(FreeLibrary(bad), FALSE_);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  }
  handles().take<int>(other_kind, handle_kind::other);
}

TEST(Module, SubstitutesStandInByNameAndAreRestored) {
  const std::string name = "libapi32-test-substitute.so.1";
  {
    scoped_module_substitute present(name,
                                     module_entry_points{{{"answer", reinterpret_cast<FARPROC>(&substitute_answer)}}});
    unique_module module(LoadLibraryA(name));
    ASSERT_TRUE(module);
    auto answer = reinterpret_cast<int (*)()>(GetProcAddress(module.get(), "answer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(GetProcAddress(module.get(), "question"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
    {
      scoped_module_substitute missing(name, std::nullopt);
      EXPECT_EQ(LoadLibraryA(name), 0u);
      EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
      // A module loaded before keeps its entry points.
      EXPECT_NE(GetProcAddress(module.get(), "answer"), nullptr);
    }
    unique_module again(LoadLibraryA(name));  // the outer substitute is back
    EXPECT_TRUE(again);
  }
  EXPECT_EQ(LoadLibraryA(name), 0u);  // no substitute any more, and no such library
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);

  // A substitute can make a real library unreachable.
  scoped_module_substitute hide_zlib("libz.so.1", std::nullopt);
  EXPECT_EQ(LoadLibraryA("libz.so.1"), 0u);
}

}  // namespace
}  // namespace api32::win32
