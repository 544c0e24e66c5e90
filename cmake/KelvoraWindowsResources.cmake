# kelvora_add_version_resource(TARGET DESCRIPTION text [MANIFEST file]): gives a Windows
# executable its version resource from the project's version and, when named, its manifest.
# Does nothing on other systems.
function(kelvora_add_version_resource target)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(ARG "" "DESCRIPTION;MANIFEST" "" ${ARGN})
  set(KELVORA_RC_NAME ${target})
  set(KELVORA_RC_FILE_NAME ${target}.exe)
  set(KELVORA_RC_DESCRIPTION "${ARG_DESCRIPTION}")
  set(KELVORA_RC_MANIFEST_PATH "${ARG_MANIFEST}")
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  if(ARG_MANIFEST)
    set_source_files_properties(${rc} PROPERTIES COMPILE_DEFINITIONS KELVORA_RC_MANIFEST
                                OBJECT_DEPENDS ${ARG_MANIFEST})
  endif()
endfunction()
