# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (posix threads, for std::thread
# and std::mutex). Used for the dependencies and for the project itself; the project's
# Windows preset also names the prefix of the cross-built dependencies, where Qt, mbed TLS,
# libzip and GoogleTest are found.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(_triplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${_triplet}-windres)
set(CMAKE_AR ${_triplet}-gcc-ar-posix)
set(CMAKE_RANLIB ${_triplet}-gcc-ranlib-posix)

if(NOT KELVORA_WINDOWS_DEPS AND DEFINED ENV{KELVORA_WINDOWS_DEPS})
  set(KELVORA_WINDOWS_DEPS "$ENV{KELVORA_WINDOWS_DEPS}")
endif()
# try_compile projects read this file again: they need the prefix too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KELVORA_WINDOWS_DEPS)
set(CMAKE_FIND_ROOT_PATH /usr/${_triplet})
if(KELVORA_WINDOWS_DEPS)
  list(PREPEND CMAKE_FIND_ROOT_PATH "${KELVORA_WINDOWS_DEPS}")
  list(APPEND CMAKE_PREFIX_PATH "${KELVORA_WINDOWS_DEPS}")
  # Qt's build tools (moc, uic, rcc) are the machine's own, of the same Qt version.
  set(QT_HOST_PATH /usr)
  set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
endif()
# pkg-config must not offer the machine's own Linux libraries.
set(ENV{PKG_CONFIG_LIBDIR} "${KELVORA_WINDOWS_DEPS}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# No DLLs to ship: the C and C++ runtimes and winpthread are linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
