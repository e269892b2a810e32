# The one version number: project() in the top CMakeLists.txt. Programs print it with --version
# through this generated header; the package takes it from the same variable.
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in ${CMAKE_BINARY_DIR}/generated/hexloader_version.h @ONLY)
add_library(hexloader_version INTERFACE)
target_include_directories(hexloader_version INTERFACE ${CMAKE_BINARY_DIR}/generated)
