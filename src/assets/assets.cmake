# Compiled-in pictures of tarvex.exe.
#
# The pictures are authored as text (src/assets/art/*.txt). At build time
# make_assets.py turns them into .bmp/.ico/.cur files and the resource script
# tarvex.rc in the build tree; TARVEX_RESOURCES names that script so that it
# is compiled (windres) into tarvex.exe, with the application manifest
# tarvex.manifest.

enable_language(RC)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(TARVEX_ASSETS_DIR ${CMAKE_CURRENT_LIST_DIR})
set(TARVEX_ASSETS_OUT ${CMAKE_BINARY_DIR}/assets)
file(GLOB TARVEX_ASSET_ART CONFIGURE_DEPENDS ${TARVEX_ASSETS_DIR}/art/*.txt)

# The generator names its outputs itself; configuration runs again when an
# art file changes, so that the list stays right.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${TARVEX_ASSET_ART} ${TARVEX_ASSETS_DIR}/make_assets.py ${TARVEX_ASSETS_DIR}/asset_ids.h)
execute_process(
  COMMAND ${Python3_EXECUTABLE} ${TARVEX_ASSETS_DIR}/make_assets.py --list
          --out ${TARVEX_ASSETS_OUT} --art ${TARVEX_ASSETS_DIR}/art
          --ids ${TARVEX_ASSETS_DIR}/asset_ids.h
  OUTPUT_VARIABLE asset_list
  ERROR_VARIABLE asset_errors
  RESULT_VARIABLE asset_result)
set(TARVEX_ASSET_FILES "")
if(asset_result EQUAL 0)
  string(REPLACE "\n" ";" asset_list "${asset_list}")
  foreach(f ${asset_list})
    if(NOT f STREQUAL "tarvex.rc")
      list(APPEND TARVEX_ASSET_FILES ${TARVEX_ASSETS_OUT}/${f})
    endif()
  endforeach()
else()
  # The build step reports the same errors and fails.
  message(WARNING "The program's pictures cannot be generated:\n${asset_errors}")
endif()

add_custom_command(
  OUTPUT ${TARVEX_ASSETS_OUT}/tarvex.rc ${TARVEX_ASSET_FILES}
  COMMAND ${Python3_EXECUTABLE} ${TARVEX_ASSETS_DIR}/make_assets.py
          --out ${TARVEX_ASSETS_OUT} --art ${TARVEX_ASSETS_DIR}/art
          --ids ${TARVEX_ASSETS_DIR}/asset_ids.h
  DEPENDS ${TARVEX_ASSETS_DIR}/make_assets.py ${TARVEX_ASSETS_DIR}/asset_ids.h ${TARVEX_ASSET_ART}
  COMMENT "Generating the program's pictures and tarvex.rc"
  VERBATIM)

# windres reads the pictures named in the script; rebuild the resource object
# whenever one of them changes.
set_source_files_properties(${TARVEX_ASSETS_OUT}/tarvex.rc PROPERTIES
  GENERATED TRUE
  OBJECT_DEPENDS "${TARVEX_ASSET_FILES};${TARVEX_ASSETS_DIR}/tarvex.manifest")

set(TARVEX_RESOURCES ${TARVEX_ASSETS_OUT}/tarvex.rc)
