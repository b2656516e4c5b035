# cmake -DFILE=... -DLIMIT=bytes -P size_budget.cmake: fails when FILE is
# missing or larger than LIMIT.
if(NOT EXISTS "${FILE}")
  message(FATAL_ERROR "${FILE} does not exist")
endif()
file(SIZE "${FILE}" size)
if(size GREATER LIMIT)
  message(FATAL_ERROR "${FILE} is ${size} bytes, more than ${LIMIT}")
endif()
message(STATUS "${FILE}: ${size} of ${LIMIT} bytes")
