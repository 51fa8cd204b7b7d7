# Checks a built program: its machine, console subsystem, the Windows its
# header asks for, and its imports against src/imports/; on x64, its unwind table.
# Usage: cmake -DOBJDUMP=... -DBINARY=... -DEXPECTED_FORMAT=pei-i386|pei-x86-64|coff-arm64
#              -DOLDEST_WINDOWS=6.0|10.0 -DIMPORT_LISTS=a.def;b.def -P CheckBinary.cmake
cmake_minimum_required(VERSION 3.25)
# objdump's words, which this reads, are the user's language's otherwise.
set(ENV{LC_ALL} C)

execute_process(COMMAND ${OBJDUMP} -p ${BINARY} OUTPUT_VARIABLE headers RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "${OBJDUMP} could not read ${BINARY}")
endif()

string(REGEX MATCH "file format ([a-z0-9-]+)" _ "${headers}")
if(NOT CMAKE_MATCH_1 STREQUAL EXPECTED_FORMAT)
    message(FATAL_ERROR "${BINARY} is ${CMAKE_MATCH_1}, expected ${EXPECTED_FORMAT}")
endif()

if(NOT headers MATCHES "Subsystem[ \t]+00000003")
    message(FATAL_ERROR "${BINARY} is not a console program")
endif()

# Header versions are major.minor, as objdump prints them.
foreach(field OSystemVersion SubsystemVersion)
    string(REGEX MATCH "Major${field}[ \t]+([0-9]+)" _ "${headers}")
    set(major ${CMAKE_MATCH_1})
    string(REGEX MATCH "Minor${field}[ \t]+([0-9]+)" _ "${headers}")
    if(${major}.${CMAKE_MATCH_1} VERSION_GREATER OLDEST_WINDOWS)
        message(FATAL_ERROR "${BINARY} asks for Windows ${major}.${CMAKE_MATCH_1} (${field}); "
                            "the oldest claimed for it is ${OLDEST_WINDOWS}")
    endif()
endforeach()

# Every function imported, as DLL!function, must be on its DLL's list.
set(allowedFunctions "")
foreach(list ${IMPORT_LISTS})
    file(STRINGS ${list} lines)
    foreach(line ${lines})
        if(line MATCHES "^LIBRARY (.+)$")
            set(listedDll ${CMAKE_MATCH_1})
        elseif(line MATCHES "^([A-Za-z0-9_]+)( DATA)?$")
            list(APPEND allowedFunctions "${listedDll}!${CMAKE_MATCH_1}")
        endif()
    endforeach()
endforeach()
# GNU objdump puts the hint's place before it, after a tab; LLVM's prints the
# hint alone, after blanks.
string(REGEX MATCHALL "DLL Name: [^\n]+|\n\t[0-9a-f]+\t +[0-9]+ +[A-Za-z0-9_]+|\n +[0-9]+  [A-Za-z0-9_]+" importLines
    "${headers}")
foreach(line ${importLines})
    if(line MATCHES "DLL Name: (.+)")
        set(dll ${CMAKE_MATCH_1})
        continue()
    endif()
    string(REGEX MATCH "[A-Za-z0-9_]+$" function "${line}")
    if(NOT "${dll}!${function}" IN_LIST allowedFunctions)
        message(FATAL_ERROR "${BINARY} imports ${dll}!${function}, which is not on its list in src/imports/ "
                            "of the functions checked against the oldest Windows claimed")
    endif()
endforeach()

string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${headers}")
string(REPLACE "DLL Name: " "" imports "${imports}")
list(SORT imports CASE INSENSITIVE)
if(NOT imports STREQUAL "KERNEL32.dll;msvcrt.dll")
    message(FATAL_ERROR "${BINARY} imports ${imports}; expected KERNEL32.dll;msvcrt.dll only")
endif()

set(unwindSummary "")
if(EXPECTED_FORMAT STREQUAL "pei-x86-64")
    include(${CMAKE_CURRENT_LIST_DIR}/CheckUnwindTable.cmake)
    set(unwindSummary ", ${unwindSummary}")
endif()

file(SIZE ${BINARY} size)
message(STATUS "${BINARY}: ${EXPECTED_FORMAT}, console, ${size} bytes, imports ${imports}${unwindSummary}")
