# Windows build: the Win32 layer's self-test program, linked with the same
# core library and pictures as tarvex.exe. It is a console program run under
# Wine by tests/win32/run_selftest.sh.
add_executable(test_win32_layer ${CMAKE_CURRENT_LIST_DIR}/layer_selftest_win32.cpp ${TARVEX_RESOURCES})
target_link_libraries(test_win32_layer PRIVATE tarvex_core comctl32 shell32 ole32 uuid gdi32 user32 kernel32
                      advapi32 shlwapi)
target_link_options(test_win32_layer PRIVATE -static)
