# Builds the program twice from clean, in two folders of different names and
# depths, and checks that the two are alike byte for byte.
# Usage: cmake -DSOURCE_DIR=... -DTOOLCHAIN=... -DWORK_DIR=... -P CheckReproducible.cmake
cmake_minimum_required(VERSION 3.25)

set(first ${WORK_DIR}/first)
set(second ${WORK_DIR}/second/other-name)
file(REMOVE_RECURSE ${WORK_DIR})

foreach(folder ${first} ${second})
    execute_process(
        COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${folder} -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}
                -DCMAKE_BUILD_TYPE=Release
        OUTPUT_QUIET RESULT_VARIABLE failed)
    if(NOT failed)
        execute_process(COMMAND ${CMAKE_COMMAND} --build ${folder} --target quenlark OUTPUT_QUIET
                        RESULT_VARIABLE failed)
    endif()
    if(failed)
        message(FATAL_ERROR "building in ${folder} failed")
    endif()
endforeach()

execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${first}/bin/quenlark.exe ${second}/bin/quenlark.exe
                RESULT_VARIABLE different)
file(SHA256 ${first}/bin/quenlark.exe hash)
if(different)
    message(FATAL_ERROR "two builds of one source differ")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
message(STATUS "two builds alike: SHA-256 ${hash}")
