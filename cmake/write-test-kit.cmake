# Writes the test kit (docs/testing.md, "On Windows: the test kit"): run-tests
# at its root, each target's listed test programs with what they start and
# the benchmark in x86/, x64/ and arm64/, reproducibly like the release.
# Usage: cmake -DX86_BIN=... -DX64_BIN=... -DARM64_BIN=... -DARCHIVE=... -DEPOCH=... -P write-test-kit.cmake
cmake_minimum_required(VERSION 3.25)

get_filename_component(root ${CMAKE_CURRENT_LIST_DIR} DIRECTORY)
set(stage ${ARCHIVE}.stage)
file(REMOVE_RECURSE ${stage})
file(REMOVE ${ARCHIVE})
find_program(PYTHON NAMES python3 python REQUIRED)

function(stage_file source destination)
    if(NOT EXISTS ${source})
        message(FATAL_ERROR "the test kit needs ${source}: build that target first")
    endif()
    file(COPY ${source} DESTINATION ${stage}/${destination})
    get_filename_component(name ${source} NAME)
    set(files ${files} ${destination}${name} PARENT_SCOPE)
endfunction()

set(files "")
stage_file(${root}/kit/run-tests.cmd "")
stage_file(${X86_BIN}/run-tests.exe "")
foreach(target x86 x64 arm64)
    string(TOUPPER ${target} TARGET)
    set(bin ${${TARGET}_BIN})
    file(STRINGS ${bin}/test-programs.txt programs)
    stage_file(${bin}/test-programs.txt ${target}/)
    list(APPEND programs probe.exe)
    if(EXISTS ${bin}/launch_benchmark.exe)
        list(APPEND programs launch_benchmark.exe floor_launcher.exe tiny_program.exe)
    endif()
    foreach(program ${programs} quenlark.exe)
        stage_file(${bin}/${program} ${target}/)
    endforeach()
endforeach()

execute_process(COMMAND ${PYTHON} ${CMAKE_CURRENT_LIST_DIR}/write_zip.py ${ARCHIVE} ${EPOCH} ${stage} ${files}
                RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "writing ${ARCHIVE} failed")
endif()
file(REMOVE_RECURSE ${stage})
file(SIZE ${ARCHIVE} size)
file(SHA256 ${ARCHIVE} hash)
list(LENGTH files count)
message(STATUS "${ARCHIVE}: ${count} files, ${size} bytes\n${hash}")
