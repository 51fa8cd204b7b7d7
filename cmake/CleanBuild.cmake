# Builds one preset's targets (all, or those named) from a clean folder in a
# build environment, as a release or its verification needs them. Included by
# the release scripts.
get_filename_component(root ${CMAKE_CURRENT_LIST_DIR} DIRECTORY)
include(${CMAKE_CURRENT_LIST_DIR}/BuildEnvironment.cmake)

# What a step printed is shown only when it failed.
function(run)
    execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${root} OUTPUT_VARIABLE output ERROR_VARIABLE output
                    RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "failed: ${ARGN}\n${output}")
    endif()
endfunction()

# Sets VAR to git's name for the source as it stands, changes not committed
# included, or to "" outside a git checkout.
function(source_tree var)
    set(index ${root}/build/source-tree.index)
    file(REMOVE ${index})
    execute_process(COMMAND ${CMAKE_COMMAND} -E env GIT_INDEX_FILE=${index} git add -A WORKING_DIRECTORY ${root}
                    RESULT_VARIABLE failed OUTPUT_QUIET ERROR_QUIET)
    set(tree "")
    if(NOT failed)
        execute_process(COMMAND ${CMAKE_COMMAND} -E env GIT_INDEX_FILE=${index} git write-tree
                        WORKING_DIRECTORY ${root} OUTPUT_VARIABLE tree OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    endif()
    file(REMOVE ${index})
    if(NOT tree MATCHES "^[0-9a-f]+$")
        set(tree "")
    endif()
    set(${var} "${tree}" PARENT_SCOPE)
endfunction()

# A folder stamped with this source, environment and targets was built so
# from clean already and is kept: the release and the checks after it build
# each program once.
function(clean_build preset build environment)
    source_tree(tree)
    file(READ ${environment}/key key)
    set(stamp "${tree} ${key} ${preset} ${ARGN}")
    if(tree AND EXISTS ${build}/clean-build-stamp)
        file(READ ${build}/clean-build-stamp built)
        if(built STREQUAL stamp)
            return()
        endif()
    endif()
    file(REMOVE_RECURSE ${build})
    environment_command(enter ${environment})
    run(${enter} cmake --preset ${preset} -S ${root} -B ${build})
    if(ARGN)
        run(${enter} cmake --build ${build} --target ${ARGN})
    else()
        run(${enter} cmake --build ${build})
    endif()
    file(WRITE ${build}/clean-build-stamp "${stamp}")
endfunction()
