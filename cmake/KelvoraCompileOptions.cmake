# Project-wide compiler settings: warnings and sanitizers. Applied through the
# kelvora_options interface target so third-party code is not affected.
add_library(kelvora_options INTERFACE)
if(MSVC)
  # The sources are UTF-8 with Japanese text in their string literals.
  target_compile_options(kelvora_options INTERFACE /W4 /utf-8 /permissive-)
  if(KELVORA_WERROR)
    target_compile_options(kelvora_options INTERFACE /WX)
  endif()
else()
  target_compile_options(kelvora_options INTERFACE -Wall -Wextra -Wpedantic)
  if(KELVORA_WERROR)
    target_compile_options(kelvora_options INTERFACE -Werror)
  endif()
endif()

if(KELVORA_SANITIZE STREQUAL "address")
  set(_san -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
elseif(KELVORA_SANITIZE STREQUAL "thread")
  set(_san -fsanitize=thread -fno-omit-frame-pointer)
elseif(NOT KELVORA_SANITIZE STREQUAL "")
  message(FATAL_ERROR "KELVORA_SANITIZE must be empty, address or thread")
endif()
if(_san)
  add_compile_options(${_san})
  add_link_options(${_san})
endif()

if(KELVORA_BUILD_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "The fuzz targets need clang (use the fuzz preset)")
  endif()
  # Instrument everything for coverage; only the fuzz executables link the driver. Undefined
  # behaviour stops the run, so that it leaves an input behind like any other crash.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
