# Builds both targets from clean folders and writes
# dist/quenlark-<version>-windows.zip with x86/quenlark.exe, x64/quenlark.exe,
# the README, the licence and SHA256SUMS, and beside it the test kit
# dist/quenlark-<version>-tests-windows.zip, which runs every test on Windows.
# The archives are reproducible: fixed order, permissions and time stamps
# (SOURCE_DATE_EPOCH, else the last commit's time). Needs Python 3 to write them.
# Usage, from anywhere: cmake -P cmake/release.cmake

get_filename_component(root ${CMAKE_CURRENT_LIST_DIR} DIRECTORY)
set(dist ${root}/dist)
set(stage ${dist}/stage)

function(run)
    execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${root} RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "failed: ${ARGN}")
    endif()
endfunction()

file(REMOVE_RECURSE ${stage})
find_program(PYTHON NAMES python3 python REQUIRED)
foreach(preset x86 x64)
    set(build ${root}/build/release/${preset})
    file(REMOVE_RECURSE ${build})
    run(${CMAKE_COMMAND} --preset ${preset} -S ${root} -B ${build})
    run(${CMAKE_COMMAND} --build ${build})
    file(COPY ${build}/bin/quenlark.exe DESTINATION ${stage}/${preset}
         FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endforeach()
load_cache(${root}/build/release/x64 READ_WITH_PREFIX release_ CMAKE_PROJECT_VERSION)
set(version ${release_CMAKE_PROJECT_VERSION})

file(COPY ${root}/README.md ${root}/LICENSE DESTINATION ${stage}
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

set(files x86/quenlark.exe x64/quenlark.exe README.md LICENSE)
set(sums "")
foreach(file ${files})
    file(SHA256 ${stage}/${file} hash)
    string(APPEND sums "${hash}  ${file}\n")
endforeach()
file(WRITE ${stage}/SHA256SUMS "${sums}")
file(CHMOD ${stage}/SHA256SUMS PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${root}
                    OUTPUT_VARIABLE commitTime OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE noGit)
    if(noGit OR commitTime STREQUAL "")
        set(commitTime 0)
    endif()
    set(ENV{SOURCE_DATE_EPOCH} ${commitTime})
endif()

# CMake's own archiver stores each file's access and change times, which no two
# builds share; this writer stores nothing but the files and one time stamp.
set(archive ${dist}/quenlark-${version}-windows.zip)
file(REMOVE ${archive})
run(${PYTHON} ${CMAKE_CURRENT_LIST_DIR}/write_zip.py ${archive} $ENV{SOURCE_DATE_EPOCH} ${stage} ${files} SHA256SUMS)
file(SHA256 ${archive} archiveHash)
message(STATUS "${archive}\n${sums}${archiveHash}  quenlark-${version}-windows.zip")

run(${CMAKE_COMMAND} -DX86_BIN=${root}/build/release/x86/bin -DX64_BIN=${root}/build/release/x64/bin
    -DARCHIVE=${dist}/quenlark-${version}-tests-windows.zip -DEPOCH=$ENV{SOURCE_DATE_EPOCH}
    -P ${CMAKE_CURRENT_LIST_DIR}/write-test-kit.cmake)
