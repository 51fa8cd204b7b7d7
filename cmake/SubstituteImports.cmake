# Copies INPUT (an object file or a static library) to OUTPUT with its calls of
# the kernel32 FUNCTIONS sent to a test's substitutes, named
# quenlark_substitute_FUNCTION (tests/support/substitute_import.h), and with
# each symbol of RENAME (OLD=NEW pairs) renamed. Only INPUT's own calls change:
# GoogleTest and the runtimes linked beside it keep the real functions, however
# they use them (GoogleTest 1.16 resumes a thread it starts with ResumeThread).
# Run as: cmake -DOBJCOPY=... -DNM=... -DINPUT=... -DOUTPUT=...
#   "-DFUNCTIONS=A;B" ["-DRENAME=OLD=NEW;..."] -P SubstituteImports.cmake
# nm's words, which this reads, are the user's language's otherwise.
set(ENV{LC_ALL} C)
execute_process(COMMAND ${NM} --undefined-only ${INPUT}
    OUTPUT_VARIABLE undefined RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${NM} could not read ${INPUT}")
endif()

set(renames ${RENAME})
foreach(function IN LISTS FUNCTIONS)
    # x64 and ARM64 call through __imp_NAME, 32-bit x86 through __imp__NAME@BYTES.
    if(NOT "${undefined}\n" MATCHES " (__imp__?${function}(@[0-9]+)?)\r?\n")
        message(FATAL_ERROR "${INPUT} calls no ${function}: its substitute would never be called")
    endif()
    list(APPEND renames "${CMAKE_MATCH_1}=quenlark_substitute_${function}")
endforeach()

set(arguments)
foreach(rename IN LISTS renames)
    list(APPEND arguments --redefine-sym ${rename})
endforeach()
execute_process(COMMAND ${OBJCOPY} ${arguments} ${INPUT} ${OUTPUT} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${OBJCOPY} could not write ${OUTPUT}")
endif()
