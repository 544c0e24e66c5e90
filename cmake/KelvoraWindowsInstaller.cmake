# The `installer` target of the Windows build: NSIS (makensis runs on Linux too) packs both
# programs into kelvora-fido2-setup-<version>.exe in the build folder.
find_program(KELVORA_MAKENSIS makensis)
if(KELVORA_MAKENSIS AND TARGET kelvora-fido2-manager AND TARGET kelvora-fido2)
  set(_script ${PROJECT_SOURCE_DIR}/packaging/windows/installer.nsi)
  set(_setup ${PROJECT_BINARY_DIR}/kelvora-fido2-setup-${PROJECT_VERSION}.exe)
  add_custom_command(OUTPUT ${_setup}
    COMMAND ${KELVORA_MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DBINDIR=${PROJECT_BINARY_DIR}
            -DOUTFILE=${_setup} ${_script}
    DEPENDS kelvora-fido2-manager kelvora-fido2 ${_script}
    COMMENT "Building the Windows installer")
  add_custom_target(installer DEPENDS ${_setup})
endif()
