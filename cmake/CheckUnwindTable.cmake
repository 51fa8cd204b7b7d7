# Checks that an x64 program's function table covers all its code that a stack
# walk must unwind (call, push, sub from rsp inside an entry; every directly
# called function and the entry point starting one; only import-table jumps
# outside): without an entry, a debugger, a crash dump or Windows Error
# Reporting cannot walk the stack through that function.
# Included by CheckBinary.cmake, with `headers` holding `objdump -p`'s output;
# sets `unwindSummary`.

# The code as instructions' addresses and bytes, which say the same under
# every binutils; the mnemonics and operands objdump prints beside them
# change from one release to the next ("sar %r10" became "sar $1,%r10").
execute_process(COMMAND ${OBJDUMP} -d ${BINARY} OUTPUT_VARIABLE code RESULT_VARIABLE failed)
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

# Instructions that touch the stack, by their bytes after any legacy prefix:
# call rel32 (e8), push (50-57, 41 50-57, 6a, 68), sub rsp (48 83 ec, 48 81
# ec), and under ff by the ModRM byte's middle field: 2 and 3 call, 6 push,
# and 4 with ModRM 25 the jump through the import table, which touches none.
set(byte "[0-9a-f][0-9a-f]")
# A line of bytes alone continues a long instruction: a tab and its mnemonic
# follow an instruction's first bytes.
string(REGEX MATCHALL "\n +[0-9a-f]+:\t((66|f2|f3|2e|3e) )*(4${byte} )?(e8|ff|5[0-7]|6a|68|8[13])( ${byte})* *\t"
       candidates "${code}")
set(thunks "")
set(calls "")
foreach(line ${candidates})
    string(REGEX MATCH "([0-9a-f]+):\t([0-9a-f ]*[0-9a-f])" _ "${line}")
    set(address ${CMAKE_MATCH_1})
    string(REPLACE " " ";" bytes "${CMAKE_MATCH_2}")
    list(LENGTH bytes length)
    string(REGEX REPLACE "^((66|f2|f3|2e|3e) )+" "" instruction "${CMAKE_MATCH_2}")
    if(instruction MATCHES "^e8 (${byte}) (${byte}) (${byte}) (${byte})$")
        math(EXPR target "0x${address} + ${length} + 0x${CMAKE_MATCH_4}${CMAKE_MATCH_3}${CMAKE_MATCH_2}${CMAKE_MATCH_1}")
        if(CMAKE_MATCH_4 MATCHES "^[89a-f]")
            math(EXPR target "${target} - 0x100000000")
        endif()
        list(APPEND calls "${address}:${target}")
    elseif(instruction MATCHES "^(4${byte} )?ff 25")
        math(EXPR thunk "0x${address}")
        list(APPEND thunks ${thunk})
        continue()
    elseif(instruction MATCHES "^(4${byte} )?ff (${byte})")
        math(EXPR field "(0x${CMAKE_MATCH_2} >> 3) & 7")
        if(NOT field MATCHES "^[236]$")
            continue()
        endif()
    elseif(NOT instruction MATCHES "^((41 )?5[0-7]|6a|68|48 8[13] ec)( |$)")
        # Another instruction with these first bytes, or bytes that are no
        # instruction (padding).
        continue()
    endif()
    require_covered(${address} "the instruction of bytes ${instruction}")
endforeach()

foreach(call ${calls})
    string(REPLACE ":" ";" call ${call})
    list(GET call 0 address)
    list(GET call 1 target)
    if(NOT target IN_LIST thunks AND NOT target IN_LIST starts)
        math(EXPR target "${target}" OUTPUT_FORMAT HEXADECIMAL)
        message(FATAL_ERROR "${BINARY}: the function called at 0x${address} (${target}) has no function-table entry of its own")
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
