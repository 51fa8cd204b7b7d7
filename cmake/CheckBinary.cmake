# Checks a built program: its machine, that it is a console program, that it
# asks for no newer Windows than Vista in its header, that it imports no DLL
# but kernel32 and the system's C runtime, and from them only functions that
# Windows Vista has (the oldest Windows the README claims), and, on x64, that
# its function table covers every function a stack walk meets.
# Usage: cmake -DOBJDUMP=... -DBINARY=... -DEXPECTED_FORMAT=pei-i386|pei-x86-64 -P CheckBinary.cmake
cmake_minimum_required(VERSION 3.25)

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

# Header versions are major.minor, in hexadecimal minor digits as objdump prints them.
foreach(field OSystemVersion SubsystemVersion)
    string(REGEX MATCH "Major${field}[ \t]+([0-9]+)" _ "${headers}")
    set(major ${CMAKE_MATCH_1})
    string(REGEX MATCH "Minor${field}[ \t]+([0-9]+)" _ "${headers}")
    if(major GREATER 6 OR (major EQUAL 6 AND CMAKE_MATCH_1 GREATER 0))
        message(FATAL_ERROR "${BINARY} asks for Windows ${major}.${CMAKE_MATCH_1} (${field}); the README claims Vista (6.0)")
    endif()
endforeach()

# Every function imported, as DLL!function. Each allowed one is in Windows
# Vista's kernel32.dll or msvcrt.dll (and XP's). A new one fails here until it
# is checked against the oldest Windows claimed and added.
set(allowedFunctions
    KERNEL32.dll!CreateProcessW KERNEL32.dll!FormatMessageW KERNEL32.dll!GetCommandLineW KERNEL32.dll!GetConsoleMode
    KERNEL32.dll!GetConsoleOutputCP KERNEL32.dll!GetCurrentProcess KERNEL32.dll!GetLastError KERNEL32.dll!GetOEMCP
    KERNEL32.dll!GetPriorityClass KERNEL32.dll!LocalAlloc KERNEL32.dll!LocalFree KERNEL32.dll!ResumeThread
    KERNEL32.dll!SetLastError KERNEL32.dll!SetProcessAffinityMask KERNEL32.dll!WideCharToMultiByte
    KERNEL32.dll!WriteConsoleW
    msvcrt.dll!__iob_func msvcrt.dll!_iob msvcrt.dll!__set_app_type msvcrt.dll!__wgetmainargs msvcrt.dll!_fileno
    msvcrt.dll!_get_osfhandle msvcrt.dll!_wcsicmp msvcrt.dll!exit msvcrt.dll!fflush msvcrt.dll!fputs msvcrt.dll!puts
    msvcrt.dll!wcschr msvcrt.dll!wcslen msvcrt.dll!wcsncmp)
string(REGEX MATCHALL "DLL Name: [^\n]+|\n\t[0-9a-f]+\t +[0-9]+ +[A-Za-z0-9_]+" importLines "${headers}")
foreach(line ${importLines})
    if(line MATCHES "DLL Name: (.+)")
        set(dll ${CMAKE_MATCH_1})
        continue()
    endif()
    string(REGEX MATCH "[A-Za-z0-9_]+$" function "${line}")
    if(NOT "${dll}!${function}" IN_LIST allowedFunctions)
        message(FATAL_ERROR "${BINARY} imports ${dll}!${function}, which is not among the functions "
                            "checked against the oldest Windows claimed")
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
