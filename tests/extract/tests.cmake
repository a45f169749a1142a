# Archive extraction: corpus conformance, the harness killed at every step,
# and a short run of the ZIP fuzzer. All run the native harness
# tarvex-extract (built from src/extract/tarvex_extract_main.cpp).
find_package(Python3 COMPONENTS Interpreter)
set(TARVEX_EXTRACT_TESTS ${CMAKE_CURRENT_LIST_DIR})

if(Python3_FOUND AND EXISTS ${CMAKE_SOURCE_DIR}/src/extract/tarvex_extract_main.cpp)
  # Every ZIP row of ../shared/corpus/MANIFEST.tsv (skipped when the corpus is absent),
  # through paths with spaces, into a folder the user has files in.
  # The CAB and LZH readers register their formats the same way: --format cab|lzh.
  add_test(NAME extract_conformance_zip
           COMMAND ${Python3_EXECUTABLE} ${TARVEX_EXTRACT_TESTS}/conformance.py
                   --harness $<TARGET_FILE:tarvex-extract> --format zip)
  # Files that are no archive at all: UnZip, Cab and Unlha must all refuse them.
  add_test(NAME extract_conformance_none
           COMMAND ${Python3_EXECUTABLE} ${TARVEX_EXTRACT_TESTS}/conformance.py
                   --harness $<TARGET_FILE:tarvex-extract> --format none)
  set_tests_properties(extract_conformance_zip extract_conformance_none PROPERTIES
                       SKIP_RETURN_CODE 77 LABELS "extract;conformance" TIMEOUT 900)

  # The harness killed (SIGKILL from an LD_PRELOAD shim) at every call that
  # changes a folder, then the next run puts the folder back; the folder lock.
  add_library(tarvex_kill_shim SHARED ${TARVEX_EXTRACT_TESTS}/kill_shim.c)
  target_link_libraries(tarvex_kill_shim PRIVATE ${CMAKE_DL_LIBS})
  add_test(NAME extract_kill_sweep
           COMMAND ${Python3_EXECUTABLE} ${TARVEX_EXTRACT_TESTS}/kill_sweep.py
                   --harness $<TARGET_FILE:tarvex-extract> --shim $<TARGET_FILE:tarvex_kill_shim>)
  set_tests_properties(extract_kill_sweep PROPERTIES LABELS "extract;integration" TIMEOUT 300)
endif()

# A 25-second run of the ZIP fuzzer, when the fuzz build exists next to this
# build (scripts/build.sh makes build/fuzz/fuzz_zip). Longer run: see fuzz/zip_fuzz.cpp.
set(TARVEX_FUZZ_ZIP ${CMAKE_BINARY_DIR}/../fuzz/fuzz_zip CACHE FILEPATH "The fuzz_zip program")
add_test(NAME extract_fuzz_zip_smoke
         COMMAND sh ${TARVEX_EXTRACT_TESTS}/fuzz_smoke.sh ${TARVEX_FUZZ_ZIP}
                 ${CMAKE_SOURCE_DIR}/../shared/corpus ${CMAKE_CURRENT_BINARY_DIR}/fuzz_zip_work 25 zip)
set_tests_properties(extract_fuzz_zip_smoke PROPERTIES
                     SKIP_RETURN_CODE 77 LABELS "extract;fuzz" TIMEOUT 300)

# The engine's Win32 file layer under Wine: Japanese names with spaces in the
# archive path, the folder and the entries; file times; a damaged archive.
# Needs the Windows build of tarvex_extract beside this build (build/win).
set(TARVEX_WIN_BUILD ${CMAKE_BINARY_DIR}/../win CACHE PATH "The mingw-w64 build with libtarvex_extract.a")
add_test(NAME extract_win32_unicode
         COMMAND sh ${TARVEX_EXTRACT_TESTS}/win_unicode.sh ${TARVEX_WIN_BUILD}
                 ${CMAKE_CURRENT_BINARY_DIR}/win_unicode)
set_tests_properties(extract_win32_unicode PROPERTIES
                     SKIP_RETURN_CODE 77 LABELS "extract;wine" TIMEOUT 400)
