# Checks that an x64 program's function table covers all its code that a stack
# walk must unwind: every instruction that calls or moves the stack pointer
# (call, push, sub from rsp) lies inside an entry, and every function called
# directly, and the entry point, starts one. Only jumps through the import
# table (which touch no stack) may stand outside. Without an entry, a
# debugger, a crash dump or Windows Error Reporting cannot walk the stack
# through that function.
# Included by CheckBinary.cmake, with `headers` holding `objdump -p`'s output;
# sets `unwindSummary`.

execute_process(COMMAND ${OBJDUMP} -d --no-show-raw-insn ${BINARY} OUTPUT_VARIABLE code RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "${OBJDUMP} could not disassemble ${BINARY}")
endif()

# The entries' first and last addresses, as numbers.
string(REGEX MATCH "The Function Table[^\n]*\n[^\n]*\n(([ \t]*[0-9a-f]+:[ \t]+[0-9a-f]+ [0-9a-f]+ [0-9a-f]+\n)+)" _
    "${headers}")
string(REGEX MATCHALL "[0-9a-f]+ [0-9a-f]+ [0-9a-f]+\n" entries "${CMAKE_MATCH_1}")
set(starts "")
set(ends "")
foreach(entry ${entries})
    string(REGEX MATCH "([0-9a-f]+) ([0-9a-f]+)" _ "${entry}")
    math(EXPR start "0x${CMAKE_MATCH_1}")
    math(EXPR end "0x${CMAKE_MATCH_2}")
    list(APPEND starts ${start})
    list(APPEND ends ${end})
endforeach()
list(LENGTH starts entryCount)
if(entryCount EQUAL 0)
    message(FATAL_ERROR "${BINARY} has no function table")
endif()
math(EXPR lastEntry "${entryCount} - 1")

function(require_covered address what)
    math(EXPR value "0x${address}")
    foreach(i RANGE ${lastEntry})
        list(GET starts ${i} start)
        list(GET ends ${i} end)
        if(value GREATER_EQUAL start AND value LESS end)
            return()
        endif()
    endforeach()
    message(FATAL_ERROR "${BINARY}: ${what} at 0x${address} lies outside every function-table entry")
endfunction()

# Addresses that hold a jump through the import table.
string(REGEX MATCHALL "\n +[0-9a-f]+:\tjmp +\\*0x[0-9a-f]+\\(%rip\\)" thunkLines "${code}")
set(thunks "")
foreach(line ${thunkLines})
    string(REGEX MATCH "([0-9a-f]+):" _ "${line}")
    list(APPEND thunks ${CMAKE_MATCH_1})
endforeach()

string(REGEX MATCHALL "\n +[0-9a-f]+:\t(call|push|sub)[^\n]*" stackLines "${code}")
foreach(line ${stackLines})
    string(REGEX MATCH "([0-9a-f]+):\t([a-z]+)[ \t]*([^\n]*)" _ "${line}")
    set(address ${CMAKE_MATCH_1})
    set(instruction ${CMAKE_MATCH_2})
    set(operands "${CMAKE_MATCH_3}")
    if(instruction STREQUAL "sub" AND NOT operands MATCHES ",%rsp$")
        continue()
    endif()
    require_covered(${address} "\"${instruction} ${operands}\"")
    if(instruction STREQUAL "call" AND operands MATCHES "^0x0*([0-9a-f]+)$")
        set(target ${CMAKE_MATCH_1})
        math(EXPR targetValue "0x${target}")
        if(NOT target IN_LIST thunks AND NOT targetValue IN_LIST starts)
            message(FATAL_ERROR "${BINARY}: the function called at 0x${address} (0x${target}) has no function-table entry of its own")
        endif()
    endif()
endforeach()

string(REGEX MATCH "AddressOfEntryPoint[ \t]+([0-9a-f]+)" _ "${headers}")
math(EXPR entryPoint "0x${CMAKE_MATCH_1}")
string(REGEX MATCH "ImageBase[ \t]+([0-9a-f]+)" _ "${headers}")
math(EXPR entryPoint "${entryPoint} + 0x${CMAKE_MATCH_1}")
if(NOT entryPoint IN_LIST starts)
    message(FATAL_ERROR "${BINARY}: the entry point has no function-table entry of its own")
endif()

set(unwindSummary "${entryCount} function-table entries, covering every function that calls or uses the stack")
