# The Win32 layer's self-test: test_win32_layer.exe from the Windows build,
# run under Wine on a private display by run_selftest.py (skipped when the
# Windows build or Wine is missing).
set(TARVEX_WIN_BUILD_DIR "${CMAKE_SOURCE_DIR}/build/win" CACHE PATH
    "Windows build directory holding tarvex.exe and the e2e helper programs")
add_test(NAME win32_layer_selftest
         COMMAND python3 ${CMAKE_CURRENT_LIST_DIR}/run_selftest.py ${TARVEX_WIN_BUILD_DIR}/test_win32_layer.exe)
set_tests_properties(win32_layer_selftest PROPERTIES LABELS "win32;e2e" SKIP_RETURN_CODE 77 TIMEOUT 600
                     FIXTURES_REQUIRED e2e_prefix ENVIRONMENT "E2E_WORK=${CMAKE_BINARY_DIR}/e2e")

# What the built programs need from Windows, read from the files themselves:
# tarvex.exe's imports against the audited list windows_imports.txt (the test
# programs' DLLs against its allow-list), and tarvex.exe's embedded manifest.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_FOUND)
  add_test(NAME win32_imports COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/check_pe.py imports
                                      ${CMAKE_CURRENT_LIST_DIR}/windows_imports.txt ${TARVEX_WIN_BUILD_DIR})
  add_test(NAME win32_manifest COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/check_pe.py manifest
                                       ${TARVEX_WIN_BUILD_DIR}/tarvex.exe)
  set_tests_properties(win32_imports win32_manifest PROPERTIES LABELS win32 SKIP_RETURN_CODE 77)
endif()
