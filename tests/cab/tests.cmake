# Cabinet (Cab) tests beyond the unit tests in tests/unit/cab. All run the
# native harness tarvex-extract.
find_package(Python3 COMPONENTS Interpreter)
set(TARVEX_CAB_TESTS ${CMAKE_CURRENT_LIST_DIR})

if(Python3_FOUND AND EXISTS ${CMAKE_SOURCE_DIR}/src/extract/tarvex_extract_main.cpp)
  # Every CAB row of ../shared/corpus/MANIFEST.tsv (skipped when the corpus is absent).
  add_test(NAME cab_conformance
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/extract/conformance.py
                   --harness $<TARGET_FILE:tarvex-extract> --format cab)
  # LZX at windows 2^15..2^21 and Quantum at 2^10..2^21, every block type and
  # the call translation; cabextract judges the streams first.
  add_test(NAME cab_lzx_quantum_crosscheck
           COMMAND ${Python3_EXECUTABLE} ${TARVEX_CAB_TESTS}/crosscheck.py
                   --harness $<TARGET_FILE:tarvex-extract>)
  set_tests_properties(cab_conformance cab_lzx_quantum_crosscheck PROPERTIES
                       SKIP_RETURN_CODE 77 LABELS "extract;cab" TIMEOUT 900)
endif()

# A 20-second run of the cabinet fuzzer when the fuzz build exists next to
# this build (build/fuzz/fuzz_cab). Longer runs: see fuzz/cab_fuzz.cpp.
set(TARVEX_FUZZ_CAB ${CMAKE_BINARY_DIR}/../fuzz/fuzz_cab CACHE FILEPATH "The fuzz_cab program")
add_test(NAME cab_fuzz_smoke
         COMMAND sh ${CMAKE_SOURCE_DIR}/tests/extract/fuzz_smoke.sh ${TARVEX_FUZZ_CAB}
                 ${CMAKE_SOURCE_DIR}/../shared/corpus ${CMAKE_CURRENT_BINARY_DIR}/fuzz_cab_work 20 cab)
set_tests_properties(cab_fuzz_smoke PROPERTIES SKIP_RETURN_CODE 77 LABELS "extract;cab;fuzz" TIMEOUT 300)
