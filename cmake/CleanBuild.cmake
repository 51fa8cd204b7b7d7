# Builds one preset's targets (all, or those named) from a clean folder, as a
# release or its verification needs them. Included by the release scripts.
get_filename_component(root ${CMAKE_CURRENT_LIST_DIR} DIRECTORY)

# What a step printed is shown only when it failed.
function(run)
    execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${root} OUTPUT_VARIABLE output ERROR_VARIABLE output
                    RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "failed: ${ARGN}\n${output}")
    endif()
endfunction()

function(clean_build preset build)
    file(REMOVE_RECURSE ${build})
    run(${CMAKE_COMMAND} --preset ${preset} -S ${root} -B ${build})
    if(ARGN)
        run(${CMAKE_COMMAND} --build ${build} --target ${ARGN})
    else()
        run(${CMAKE_COMMAND} --build ${build})
    endif()
endfunction()
