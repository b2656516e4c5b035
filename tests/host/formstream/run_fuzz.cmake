# Seeds the corpus from the text forms and runs the fuzzer for SECONDS.
file(MAKE_DIRECTORY ${CORPUS})
file(GLOB forms ${FORMS}/*.txt)
foreach(f ${forms})
  get_filename_component(n ${f} NAME_WE)
  execute_process(COMMAND ${CONV} -b ${f} ${CORPUS}/seed_${n}.bin RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "formconv failed on ${f}")
  endif()
endforeach()
execute_process(COMMAND ${FUZZER} -max_total_time=${SECONDS} -max_len=4096 -rss_limit_mb=1024
                        -print_final_stats=1 ${CORPUS}
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "fuzz_formstream found a failure (exit ${rc})")
endif()
