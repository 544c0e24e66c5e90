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
  # The usual mark of a fuzz build: code that would spend every execution on cryptography (the
  # PIN key agreement) takes a cheap, deterministic path under it. Such a build is no program.
  add_compile_definitions(FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION)
  add_link_options(-fsanitize=address,undefined)
endif()

# Hardened code and executables for every build that is not instrumented: stack and buffer
# checks, full RELRO and address-space randomisation on Linux, the PE marks for ASLR, DEP
# and control-flow guard on Windows. scripts/hardening-check.sh reads the marks back from
# the executables. Sanitizer and fuzz builds bring their own instrumentation.
option(KELVORA_HARDEN "Build hardened code and executables" ON)
if(KELVORA_HARDEN AND NOT _san AND NOT KELVORA_BUILD_FUZZ)
  include(CheckCXXCompilerFlag)
  if(MSVC)
    add_compile_options(/guard:cf)
    add_link_options(/guard:cf /CETCOMPAT /DYNAMICBASE /NXCOMPAT)
  elseif(WIN32)
    # libssp comes with the static runtime (the toolchain links executables with -static).
    add_compile_options(-fstack-protector-strong)
    add_link_options(-fstack-protector-strong -Wl,--dynamicbase -Wl,--nxcompat
                     -Wl,--high-entropy-va)
  else()
    set(CMAKE_POSITION_INDEPENDENT_CODE ON)
    include(CheckPIESupported)
    check_pie_supported()
    add_compile_options(-fstack-protector-strong -D_GLIBCXX_ASSERTIONS -fstack-clash-protection)
    # Fortification needs the optimiser, and the compiler may already define its own level.
    add_compile_options($<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE>
                        $<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>)
    check_cxx_compiler_flag(-fcf-protection KELVORA_HAVE_CF_PROTECTION)
    if(KELVORA_HAVE_CF_PROTECTION)
      add_compile_options(-fcf-protection)
    endif()
    add_link_options(-Wl,-z,relro,-z,now)
  endif()
endif()
