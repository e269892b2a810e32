# What the Windows programs and the setup say about themselves, in one place: the product name (the
# application's title in ui/app_texts.h), the publisher and the copyright, and the version of
# project() as the resources want it. hexloader_version_resource() makes a program's version resource.
file(STRINGS ${PROJECT_SOURCE_DIR}/ui/app_texts.h title_line REGEX "ApplicationTitle = " ENCODING UTF-8)
string(REGEX REPLACE ".*= \"([^\"]*)\".*" "\\1" HEXLOADER_PRODUCT_NAME "${title_line}")
set(HEXLOADER_PUBLISHER "Разработчики hexloader")
set(HEXLOADER_COPYRIGHT "© 2026 Разработчики hexloader")
set(HEXLOADER_RC_MINOR 0)
set(HEXLOADER_RC_PATCH 0)
if(NOT PROJECT_VERSION_MINOR STREQUAL "")
  set(HEXLOADER_RC_MINOR ${PROJECT_VERSION_MINOR})
endif()
if(NOT PROJECT_VERSION_PATCH STREQUAL "")
  set(HEXLOADER_RC_PATCH ${PROJECT_VERSION_PATCH})
endif()
set(HEXLOADER_VERSION_RESOURCE_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/version_info.rc.in)

# hexloader_version_resource(FILE NAME DESCRIPTION): writes FILE, the version resource of the program
# NAME.exe with its own DESCRIPTION, for a program's resource script to include.
function(hexloader_version_resource file name description)
  set(HEXLOADER_RC_NAME ${name})
  set(HEXLOADER_RC_DESCRIPTION ${description})
  configure_file(${HEXLOADER_VERSION_RESOURCE_TEMPLATE} ${file} @ONLY)
endfunction()
