# A release's BUILDINFO: the source it was built from and the build
# environment it was built in, every package with its version, in the form of
# Debian's .buildinfo files. verify-release makes that environment again from
# it. Included by the release scripts, after CleanBuild.cmake.

# Writes FILE for the release VERSION built in ENVIRONMENT from the source as
# it stands.
function(write_build_info file environment version)
    execute_process(COMMAND git rev-parse HEAD WORKING_DIRECTORY ${root} OUTPUT_VARIABLE commit
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    source_tree(tree)
    if(commit STREQUAL "" OR tree STREQUAL "")
        set(commit unknown)
        set(tree unknown)
    endif()
    environment_command(enter ${environment})
    execute_process(COMMAND ${enter} dpkg --print-architecture OUTPUT_VARIABLE architecture
                    OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
    if(failed OR architecture STREQUAL "")
        message(FATAL_ERROR "dpkg in ${environment} does not say its architecture")
    endif()
    file(STRINGS ${environment}/root/etc/debian_version debianVersion LIMIT_COUNT 1)
    file(STRINGS ${environment}/root/archive-date archiveDate LIMIT_COUNT 1)
    installed_packages(packages ${environment})
    list(JOIN packages ",\n " packages)
    file(WRITE ${file} "Format: 1.0\n"
                       "Source: quenlark\n"
                       "Version: ${version}\n"
                       "Commit: ${commit}\n"
                       "Source-Tree: ${tree}\n"
                       "Source-Date-Epoch: $ENV{SOURCE_DATE_EPOCH}\n"
                       "Build-Origin: Debian\n"
                       "Build-Suite: ${environmentSuite}\n"
                       "Build-Release: ${debianVersion}\n"
                       "Build-Architecture: ${architecture}\n"
                       "Debian-Archive-Date: ${archiveDate}\n"
                       "Installed-Build-Depends:\n ${packages}\n")
endfunction()

# Sets buildInfo_<Field> (Commit, Source-Tree, Source-Date-Epoch, Build-Suite,
# Build-Architecture, Debian-Archive-Date) and buildInfo_packages ("name (=
# version)" each) from FILE; ends the script where a field is missing.
function(read_build_info file)
    file(STRINGS ${file} lines)
    set(packages "")
    foreach(line ${lines})
        if(line MATCHES "^([A-Za-z-]+): (.+)$")
            set(buildInfo_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}" PARENT_SCOPE)
            set(${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
        elseif(line MATCHES "^ ([^ ]+ \\(= [^)]+\\)),?$")
            list(APPEND packages "${CMAKE_MATCH_1}")
        endif()
    endforeach()
    foreach(field Commit Source-Tree Source-Date-Epoch Build-Suite Build-Architecture Debian-Archive-Date)
        if(NOT DEFINED ${field})
            message(FATAL_ERROR "${file} names no ${field}")
        endif()
    endforeach()
    if(NOT packages)
        message(FATAL_ERROR "${file} names no Installed-Build-Depends")
    endif()
    set(buildInfo_packages "${packages}" PARENT_SCOPE)
endfunction()
