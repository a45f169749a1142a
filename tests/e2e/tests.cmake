# End-to-end tests: every tests/e2e/test_*.sh runs tarvex.exe under Wine on its
# own virtual display. They need the Windows build (tarvex.exe and the helper
# programs built from tests/e2e/tools/*_win32.cpp) and are registered only when
# that build directory exists.

set(TARVEX_WIN_BUILD_DIR "${CMAKE_SOURCE_DIR}/build/win" CACHE PATH
    "Windows build directory holding tarvex.exe and the e2e helper programs")

set(E2E_SRC ${CMAKE_CURRENT_LIST_DIR})
set(E2E_WORK ${CMAKE_BINARY_DIR}/e2e)

# Native helpers: tests/e2e/tools/NAME.c -> NAME with - for _ (Xlib programs).
find_package(X11)
file(GLOB E2E_NATIVE_TOOLS CONFIGURE_DEPENDS ${E2E_SRC}/tools/*.c)
foreach(src ${E2E_NATIVE_TOOLS})
  get_filename_component(n ${src} NAME_WE)
  string(REPLACE "_" "-" n ${n})
  if(X11_FOUND)
    add_executable(${n} ${src})
    target_include_directories(${n} PRIVATE ${X11_INCLUDE_DIR})
    target_link_libraries(${n} PRIVATE ${X11_LIBRARIES})
    set_target_properties(${n} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/e2e-tools)
  else()
    message(STATUS "e2e: libX11 not found, ${n} not built")
  endif()
endforeach()

# The digit reader's own check needs no Wine.
add_test(NAME e2e_digits_selftest COMMAND python3 ${E2E_SRC}/tools/digits.py --selftest)
set_tests_properties(e2e_digits_selftest PROPERTIES LABELS "e2e;unit")

if(EXISTS "${TARVEX_WIN_BUILD_DIR}")
  set(E2E_ENV
    "TARVEX_WIN_BUILD_DIR=${TARVEX_WIN_BUILD_DIR}"
    "E2E_WORK=${E2E_WORK}"
    "E2E_NATIVE_TOOLS=${CMAKE_BINARY_DIR}/e2e-tools")

  # One booted Wine prefix per run; every test copies it.
  add_test(NAME e2e_prefix COMMAND bash ${E2E_SRC}/lib.sh boot-template)
  set_tests_properties(e2e_prefix PROPERTIES
    FIXTURES_SETUP e2e_prefix LABELS e2e TIMEOUT 300 ENVIRONMENT "${E2E_ENV}")

  file(GLOB E2E_SCRIPTS CONFIGURE_DEPENDS ${E2E_SRC}/test_*.sh)
  foreach(s ${E2E_SCRIPTS})
    get_filename_component(n ${s} NAME_WE)
    string(REGEX REPLACE "^test_" "e2e_" n ${n})
    add_test(NAME ${n} COMMAND bash ${s})
    set_tests_properties(${n} PROPERTIES
      FIXTURES_REQUIRED e2e_prefix
      LABELS e2e
      TIMEOUT 300
      SKIP_RETURN_CODE 77
      ENVIRONMENT "${E2E_ENV}")
  endforeach()
else()
  message(STATUS "e2e: ${TARVEX_WIN_BUILD_DIR} not found, end-to-end tests not registered")
endif()
