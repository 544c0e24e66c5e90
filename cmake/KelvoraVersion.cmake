# kelvora_version: the generated header "project_version.h" with the project's version.
# Linked privately by the sources that print it, so a new version rebuilds only those.
configure_file(${CMAKE_CURRENT_LIST_DIR}/project_version.h.in
               ${PROJECT_BINARY_DIR}/generated/project_version.h @ONLY)
add_library(kelvora_version INTERFACE)
target_include_directories(kelvora_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
