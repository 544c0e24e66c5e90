# Compiles through ccache when it is installed, with one cache for every clone and preset on
# the machine (scripts/setup.sh creates it, bounded in size). Paths below the source folder
# are hashed relative to it and the working folder is left out, so a fresh clone in another
# folder finds what an earlier one compiled. A miss is compiled once, its inputs taken from the
# compiler's own dependency list (depend mode) rather than from a preprocessor run before it.
# KELVORA_CCACHE=OFF compiles directly.
option(KELVORA_CCACHE "Compile through ccache when it is installed" ON)
set(KELVORA_CCACHE_DIR "$ENV{KELVORA_CCACHE_DIR}" CACHE PATH "ccache's folder (empty: /var/cache/kelvora/ccache)")
if(NOT KELVORA_CCACHE_DIR)
  set(KELVORA_CCACHE_DIR /var/cache/kelvora/ccache)
endif()
find_program(KELVORA_CCACHE_PROGRAM ccache)
if(KELVORA_CCACHE AND KELVORA_CCACHE_PROGRAM AND IS_DIRECTORY "${KELVORA_CCACHE_DIR}")
  set(_launcher /usr/bin/env "CCACHE_DIR=${KELVORA_CCACHE_DIR}" "CCACHE_BASEDIR=${CMAKE_SOURCE_DIR}"
                CCACHE_NOHASHDIR=1 CCACHE_DEPEND=1 ${KELVORA_CCACHE_PROGRAM})
  set(CMAKE_C_COMPILER_LAUNCHER ${_launcher})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${_launcher})
  message(STATUS "Compiling through ccache, cache in ${KELVORA_CCACHE_DIR}")
endif()
