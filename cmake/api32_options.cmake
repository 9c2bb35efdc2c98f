# Compiler warnings and sanitizers, applied through the interface target api32_build_options.
add_library(api32_build_options INTERFACE)
target_compile_options(api32_build_options INTERFACE -Wall -Wextra -Wpedantic)
if(API32_WERROR)
  target_compile_options(api32_build_options INTERFACE -Werror)
endif()
if(API32_SANITIZE)
  target_compile_options(api32_build_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
                                                       -fno-sanitize-recover=undefined)
  target_link_options(api32_build_options INTERFACE -fsanitize=address,undefined)
endif()
target_compile_definitions(api32_build_options INTERFACE _FILE_OFFSET_BITS=64)
