# LZH: every LZH row of the shared archive corpus through the extraction
# harness (skipped, exit 77, when the corpus is absent), and a short fuzzing
# run when the fuzz build sits beside this one.

set(TARVEX_CORPUS_DIR "${CMAKE_SOURCE_DIR}/../shared/corpus" CACHE PATH "The shared archive corpus")

add_test(NAME lzh_corpus
         COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/extract/conformance.py
                 --harness $<TARGET_FILE:tarvex-extract> --format lzh --corpus ${TARVEX_CORPUS_DIR})
set_tests_properties(lzh_corpus PROPERTIES LABELS "lzh;corpus" SKIP_RETURN_CODE 77 TIMEOUT 300)

# About 20 seconds of libFuzzer over the LZH reader and Unlha, seeded with the
# corpus archives. A longer run: see bench/lzh.sh's header for the command.
set(LZH_FUZZ_BIN "${CMAKE_BINARY_DIR}/../fuzz/fuzz_lzh")
if(EXISTS "${LZH_FUZZ_BIN}")
  set(LZH_FUZZ_WORK "${CMAKE_BINARY_DIR}/lzh-fuzz")
  add_test(NAME lzh_fuzz_smoke
           COMMAND sh -c "mkdir -p '${LZH_FUZZ_WORK}/corpus' && cp -n '${TARVEX_CORPUS_DIR}'/lzh/* '${TARVEX_CORPUS_DIR}'/bad/*lzh* '${LZH_FUZZ_WORK}/corpus/' 2>/dev/null; '${LZH_FUZZ_BIN}' -max_total_time=20 -max_len=65536 -rss_limit_mb=1024 -timeout=10 '${LZH_FUZZ_WORK}/corpus'")
  set_tests_properties(lzh_fuzz_smoke PROPERTIES LABELS "lzh;fuzz" TIMEOUT 120)
endif()
