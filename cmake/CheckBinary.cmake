# Checks a built program: its machine, that it is a console program, and that
# it imports no DLL but kernel32 and the system's C runtime.
# Usage: cmake -DOBJDUMP=... -DBINARY=... -DEXPECTED_FORMAT=pei-i386|pei-x86-64 -P CheckBinary.cmake

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

string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${headers}")
string(REPLACE "DLL Name: " "" imports "${imports}")
list(SORT imports CASE INSENSITIVE)
if(NOT imports STREQUAL "KERNEL32.dll;msvcrt.dll")
    message(FATAL_ERROR "${BINARY} imports ${imports}; expected KERNEL32.dll;msvcrt.dll only")
endif()

file(SIZE ${BINARY} size)
message(STATUS "${BINARY}: ${EXPECTED_FORMAT}, console, ${size} bytes, imports ${imports}")
