# The Windows release: a ZIP named with the version and the width, holding
# one folder of the same name with the program, its manual page as HTML and
# the README's Windows part (tools/windows-release builds both widths).
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(zvk_width win64)
else()
  set(zvk_width win32)
endif()

# The documents are made on the build machine (this is a cross build).
find_program(ZVK_MANDOC mandoc REQUIRED)
set(zvk_documents ${CMAKE_BINARY_DIR}/doc/zvk_avs_runner.html ${CMAKE_BINARY_DIR}/doc/README-Windows.txt)
add_custom_command(OUTPUT ${zvk_documents}
  COMMAND ${CMAKE_COMMAND} -DMANDOC=${ZVK_MANDOC} -DPAGE=${CMAKE_BINARY_DIR}/doc/zvk_avs_runner.1
    -DREADME=${PROJECT_SOURCE_DIR}/README.md -DOUT=${CMAKE_BINARY_DIR}/doc
    -P ${PROJECT_SOURCE_DIR}/cmake/release-documents.cmake
  DEPENDS ${CMAKE_BINARY_DIR}/doc/zvk_avs_runner.1 ${PROJECT_SOURCE_DIR}/README.md
    ${PROJECT_SOURCE_DIR}/cmake/release-documents.cmake)
add_custom_target(zvk_release_documents ALL DEPENDS ${zvk_documents})

install(TARGETS zvk_avs_runner RUNTIME DESTINATION .)
install(FILES ${zvk_documents} DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME zvk_avs_runner-${PROJECT_VERSION}-${zvk_width})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
