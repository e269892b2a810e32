# hexloader_json: the JSON library (headers only) for the targets that read or write records.
if(TARGET hexloader_json)
  return()
endif()
add_library(hexloader_json INTERFACE)
if(WIN32)
  # The library is the same for every target; the cross-compiler must not see the rest of the build
  # machine's /usr/include, so only its folder is put in reach.
  find_path(HEXLOADER_JSON_ROOT nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/json-include)
  file(CREATE_LINK ${HEXLOADER_JSON_ROOT}/nlohmann ${CMAKE_BINARY_DIR}/json-include/nlohmann SYMBOLIC)
  target_include_directories(hexloader_json SYSTEM INTERFACE ${CMAKE_BINARY_DIR}/json-include)
else()
  find_package(nlohmann_json 3 REQUIRED)
  target_link_libraries(hexloader_json INTERFACE nlohmann_json::nlohmann_json)
endif()
