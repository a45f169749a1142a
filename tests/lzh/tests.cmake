# LZH: every LZH row of the shared archive corpus through the extraction
# harness (skipped, exit 77, when the corpus is absent), and a short fuzzing
# run when the fuzz build sits beside this one.

set(TARVEX_CORPUS_DIR "${CMAKE_SOURCE_DIR}/../shared/corpus" CACHE PATH "The shared archive corpus")

add_test(NAME lzh_corpus
         COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/extract/conformance.py
                 --harness $<TARGET_FILE:tarvex-extract> --format lzh --corpus ${TARVEX_CORPUS_DIR})
set_tests_properties(lzh_corpus PROPERTIES LABELS "lzh;corpus" SKIP_RETURN_CODE 77 TIMEOUT 300)

# About 20 seconds of libFuzzer over the LZH reader and Unlha, seeded with the
# corpus archives (skipped when the fuzz build is not beside this one). A
# longer run: see bench/lzh.sh's header for the command.
add_test(NAME lzh_fuzz_smoke
         COMMAND sh ${CMAKE_SOURCE_DIR}/tests/extract/fuzz_smoke.sh ${CMAKE_BINARY_DIR}/../fuzz/fuzz_lzh
                 ${TARVEX_CORPUS_DIR} ${CMAKE_BINARY_DIR}/lzh-fuzz 20 lzh)
set_tests_properties(lzh_fuzz_smoke PROPERTIES LABELS "lzh;fuzz" SKIP_RETURN_CODE 77 TIMEOUT 120)
