# One bounded libFuzzer run: new inputs go to a fresh folder in the build
# tree (the seeds in the source tree are only read), findings to WORK_DIR.
# Fails when the fuzzer finds anything or stops for any other reason.
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/corpus ${WORK_DIR}/findings)
execute_process(
  COMMAND ${FUZZER} -max_total_time=${SECONDS} -timeout=20 -rss_limit_mb=4096 -print_final_stats=1
          -artifact_prefix=${WORK_DIR}/findings/ ${WORK_DIR}/corpus ${SEEDS}
  RESULT_VARIABLE result)
file(GLOB findings ${WORK_DIR}/findings/*)
if(NOT result EQUAL 0 OR findings)
  message(FATAL_ERROR "fuzz_exports: the fuzzer stopped with ${result}; findings: ${findings}")
endif()
