# Runs one fuzzer for SECONDS from a scratch copy of its seeds in WORK: libFuzzer adds every
# input it finds interesting to its corpus folder, and the seeds in the source tree must stay
# as they are. An input that breaks the target is left in WORK as crash-*, leak-* or
# timeout-*; rerun it with "<fuzzer> <file>".
foreach(variable FUZZER SEEDS WORK SECONDS)
    if(NOT DEFINED ${variable})
        message(FATAL_ERROR "Runfuzzer.cmake needs -D${variable}=...")
    endif()
endforeach()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(COPY "${SEEDS}/" DESTINATION "${WORK}/corpus")

# The fuzzers' temporary files (the settings target's private configuration folder) go to a
# folder of this run's own, removed afterwards even when a failure leaves them behind. In
# memory where possible: every settings save is synced to disk.
string(SHA1 run "${WORK}")
if(IS_DIRECTORY /dev/shm)
    set(scratch "/dev/shm/brindora-fuzz-${run}")
else()
    set(scratch "${WORK}/tmp")
endif()
file(REMOVE_RECURSE "${scratch}")
file(MAKE_DIRECTORY "${scratch}")
set(ENV{TMPDIR} "${scratch}")
execute_process(
    COMMAND "${FUZZER}" "${WORK}/corpus"
        -max_total_time=${SECONDS} -max_len=8192 -print_final_stats=1
        "-artifact_prefix=${WORK}/"
    RESULT_VARIABLE result)
file(REMOVE_RECURSE "${scratch}")
if(NOT result EQUAL 0)
    file(GLOB found "${WORK}/crash-*" "${WORK}/leak-*" "${WORK}/timeout-*" "${WORK}/oom-*")
    message(FATAL_ERROR "${FUZZER} failed (${result}); failing input: ${found}")
endif()
