# Runs one fuzz target for a bounded time, as a CTest test: cmake -P run_fuzzer.cmake with
#   FUZZER   the fuzz target's executable
#   CORPUS   its starting inputs in the repository, only ever read
#   DICT     its dictionary of tokens worth trying
#   WORK     a scratch directory, emptied first, for new inputs and any failing input
#   SECONDS  the time to run; the environment variable RELOJ_FUZZ_SECONDS overrides it
#   SKIPPED  what the test prints when the executable is missing, which CTest takes for a skip
# A missing executable (no fuzz build beside this one) skips the test with the reason: a fuzz
# run that did not happen must not pass, and scripts/test, which makes the fuzz build, counts
# the skip as a failure.
cmake_minimum_required(VERSION 3.25)

if(NOT EXISTS "${FUZZER}")
    message("${SKIPPED} no existe el objetivo de fuzzing ${FUZZER}.\n"
            "Constrúyalo en las fuentes con: cmake --preset fuzz && cmake --build build-fuzz\n"
            "(scripts/test lo hace).")
    return()
endif()

if(DEFINED ENV{RELOJ_FUZZ_SECONDS} AND NOT "$ENV{RELOJ_FUZZ_SECONDS}" STREQUAL "")
    set(SECONDS "$ENV{RELOJ_FUZZ_SECONDS}")
endif()
if(NOT SECONDS MATCHES "^[1-9][0-9]*$")
    message(FATAL_ERROR "RELOJ_FUZZ_SECONDS debe ser un número entero de segundos: «${SECONDS}»")
endif()

# New inputs go to the scratch copy, never into the repository: libFuzzer writes only to the
# first corpus directory it is given and reads the others.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/corpus")

# Undefined behaviour already aborts (the code is built without recovery); the stack trace
# says where.
set(ENV{UBSAN_OPTIONS} "print_stacktrace=1:halt_on_error=1")

execute_process(
    COMMAND "${FUZZER}"
        -max_total_time=${SECONDS}
        -timeout=10
        -rss_limit_mb=2048
        -print_final_stats=1
        "-dict=${DICT}"
        "-artifact_prefix=${WORK}/"
        "${WORK}/corpus"
        "${CORPUS}"
    WORKING_DIRECTORY "${WORK}"
    RESULT_VARIABLE result)

if(NOT result EQUAL 0)
    file(GLOB found "${WORK}/crash-*" "${WORK}/leak-*" "${WORK}/timeout-*" "${WORK}/oom-*")
    message(FATAL_ERROR "${FUZZER} terminó con «${result}». Entradas que fallan: ${found}")
endif()
