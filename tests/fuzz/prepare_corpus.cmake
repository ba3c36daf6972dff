# Lays out a fresh, writable corpus for one fuzz run (see tandrel_add_fuzzer):
#   cmake -DSEEDS=<checked-in seeds> -DCORPUS=<build folder> [-DGENERATOR=<program>] -P this
# The fuzzer adds the inputs it finds to CORPUS, so it is rebuilt from the seeds every time.

file(REMOVE_RECURSE "${CORPUS}")
file(MAKE_DIRECTORY "${CORPUS}")
if(IS_DIRECTORY "${SEEDS}")
  file(GLOB seeds LIST_DIRECTORIES false "${SEEDS}/*")
  if(seeds)
    file(COPY ${seeds} DESTINATION "${CORPUS}")
  endif()
endif()
if(GENERATOR)
  execute_process(COMMAND "${GENERATOR}" "${CORPUS}" RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${GENERATOR} failed: ${result}")
  endif()
endif()
file(GLOB made LIST_DIRECTORIES false "${CORPUS}/*")
list(LENGTH made count)
if(count EQUAL 0)
  message(FATAL_ERROR "no seeds for ${CORPUS}")
endif()
message(STATUS "${count} seeds in ${CORPUS}")
