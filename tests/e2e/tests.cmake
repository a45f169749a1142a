# End-to-end tests: every tests/e2e/test_NAME.py runs tarvex.exe under Wine on its
# own virtual display (CTest: e2e_NAME). They need the Windows build (tarvex.exe and
# wintool.exe) and are registered only when that build directory exists.

set(TARVEX_WIN_BUILD_DIR "${CMAKE_SOURCE_DIR}/build/win" CACHE PATH
    "Windows build directory holding tarvex.exe and the e2e helper programs")

if(EXISTS "${TARVEX_WIN_BUILD_DIR}")
  set(E2E_ENV "TARVEX_WIN_BUILD_DIR=${TARVEX_WIN_BUILD_DIR}" "E2E_WORK=${CMAKE_BINARY_DIR}/e2e")

  # One booted Wine prefix per run; every test copies it.
  add_test(NAME e2e_prefix COMMAND python3 ${CMAKE_CURRENT_LIST_DIR}/e2e.py boot)
  set_tests_properties(e2e_prefix PROPERTIES
    FIXTURES_SETUP e2e_prefix LABELS e2e TIMEOUT 300 ENVIRONMENT "${E2E_ENV}")

  # A test ends itself (watchdog, E2E_DEADLINE 240 s) before CTest's limit would
  # kill it without its cleanup.
  file(GLOB E2E_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/test_*.py)
  foreach(t ${E2E_TESTS})
    get_filename_component(n ${t} NAME_WE)
    string(REGEX REPLACE "^test_" "e2e_" n ${n})
    add_test(NAME ${n} COMMAND python3 ${t})
    set_tests_properties(${n} PROPERTIES
      FIXTURES_REQUIRED e2e_prefix LABELS e2e TIMEOUT 300 SKIP_RETURN_CODE 77 ENVIRONMENT "${E2E_ENV}")
  endforeach()
else()
  message(STATUS "e2e: ${TARVEX_WIN_BUILD_DIR} not found, end-to-end tests not registered")
endif()
