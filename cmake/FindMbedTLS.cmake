# Debian's libmbedtls-dev (2.28) ships neither a CMake package nor pkg-config files; the
# cross-built Windows library is found the same way in the dependency prefix.
find_path(MBEDTLS_INCLUDE_DIR mbedtls/ssl.h)
find_library(MBEDCRYPTO_LIBRARY mbedcrypto)
include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(MbedTLS DEFAULT_MSG MBEDTLS_INCLUDE_DIR MBEDCRYPTO_LIBRARY)
if(MbedTLS_FOUND AND NOT TARGET MbedTLS::mbedcrypto)
  add_library(MbedTLS::mbedcrypto UNKNOWN IMPORTED)
  set_target_properties(MbedTLS::mbedcrypto PROPERTIES
    IMPORTED_LOCATION ${MBEDCRYPTO_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${MBEDTLS_INCLUDE_DIR})
  if(WIN32)
    # The static library's entropy source is the system's random number generator.
    set_property(TARGET MbedTLS::mbedcrypto PROPERTY INTERFACE_LINK_LIBRARIES bcrypt advapi32)
  endif()
endif()
