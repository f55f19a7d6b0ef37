# A short run of one harness: cmake -DHARNESS=... -DSEEDS=... -DWORK=...
# -DSECONDS=... -P Smoke.cmake. The working corpus and any crash input go to
# WORK, emptied first; the seeds are read, never written.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/corpus ${WORK}/artifacts)
execute_process(
  COMMAND ${HARNESS} -max_total_time=${SECONDS} -timeout=25 -rss_limit_mb=2048
          -print_final_stats=1 -artifact_prefix=${WORK}/artifacts/
          ${WORK}/corpus ${SEEDS}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${HARNESS} failed (${result}); the input is in ${WORK}/artifacts")
endif()
