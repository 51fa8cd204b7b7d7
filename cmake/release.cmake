# Builds every target from clean folders in the release's build environment
# (BuildEnvironment.cmake) and writes the release archive, its test kit,
# BUILDINFO, SHA256SUMS and, for a repository, the winget and Scoop manifests
# to dist/, reproducibly (docs/releases.md says what each holds). Builds kept
# from this source in the same environment are taken as they are.
# Usage, from anywhere: cmake [-DREPOSITORY=...] [SIGNING] -P cmake/release.cmake, where SIGNING is
# nothing (an unsigned release) or one of:
#   -DSIGNING_CERTIFICATE=file.pfx [-DTIMESTAMP_URL=url]: signs every program
#     with that PKCS#12 file, whose password is in QUENLARK_SIGNING_PASSWORD;
#   -DSIGNED_PROGRAMS=folder: takes folder/x86/quenlark.exe,
#     folder/x64/quenlark.exe and folder/arm64/quenlark.exe, signed elsewhere, each only if it is, once its
#     signature is removed, the program just built.
# -DDIST=folder writes the archives there instead of dist/. -DMIRROR=url takes
# the environment's packages from that Debian mirror.
cmake_minimum_required(VERSION 3.25)

include(${CMAKE_CURRENT_LIST_DIR}/CleanBuild.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/BuildInfo.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/PackageManifests.cmake)
if(REPOSITORY)
    if(NOT WINGET_IDENTIFIER)
        string(REGEX REPLACE "/.*" ".quenlark" WINGET_IDENTIFIER "${REPOSITORY}")
    endif()
    check_manifest_names("${REPOSITORY}" "${WINGET_IDENTIFIER}")
elseif(WINGET_IDENTIFIER)
    message(FATAL_ERROR "WINGET_IDENTIFIER goes with REPOSITORY, which the manifests' URLs name")
endif()
if(DIST)
    get_filename_component(dist ${DIST} ABSOLUTE)
else()
    set(dist ${root}/dist)
endif()
set(stage ${dist}/stage)

include(${CMAKE_CURRENT_LIST_DIR}/Signing.cmake)
if(SIGNING_CERTIFICATE AND SIGNED_PROGRAMS)
    message(FATAL_ERROR "give SIGNING_CERTIFICATE or SIGNED_PROGRAMS, not both")
endif()
if(SIGNING_CERTIFICATE)
    get_filename_component(SIGNING_CERTIFICATE ${SIGNING_CERTIFICATE} ABSOLUTE)
endif()
if(SIGNED_PROGRAMS)
    get_filename_component(SIGNED_PROGRAMS ${SIGNED_PROGRAMS} ABSOLUTE)
endif()

if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${root}
                    OUTPUT_VARIABLE commitTime OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE noGit)
    if(noGit OR commitTime STREQUAL "")
        set(commitTime 0)
    endif()
    set(ENV{SOURCE_DATE_EPOCH} ${commitTime})
endif()

# The program as it goes into the release: as built, signed here, or signed
# elsewhere and found to be the program built.
function(stage_program preset built destination)
    if(SIGNING_CERTIFICATE)
        sign_program(${built} ${destination} ${SIGNING_CERTIFICATE} $ENV{SOURCE_DATE_EPOCH} "${TIMESTAMP_URL}")
    elseif(SIGNED_PROGRAMS)
        set(signed ${SIGNED_PROGRAMS}/${preset}/quenlark.exe)
        remove_signature(${signed} ${destination}.unsigned unsigned)
        if(NOT unsigned)
            message(FATAL_ERROR "${signed} carries no signature")
        endif()
        execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${unsigned} ${built} RESULT_VARIABLE different)
        file(REMOVE ${unsigned})
        if(different)
            message(FATAL_ERROR "${signed}, its signature removed, is not the program built from this source")
        endif()
        signature_is_whole(${signed} ${stage} whole)
        if(NOT whole)
            message(FATAL_ERROR "${signed}: its signature does not verify")
        endif()
        file(COPY_FILE ${signed} ${destination})
    else()
        file(COPY_FILE ${built} ${destination})
    endif()
    file(CHMOD ${destination} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                                          WORLD_EXECUTE)
endfunction()

# Manifests of an earlier release would name archives this one replaces.
file(REMOVE_RECURSE ${stage} ${dist}/winget ${dist}/winget-manifests.zip ${dist}/scoop)
file(MAKE_DIRECTORY ${dist})
release_environment(environment)
# The archives are written in the environment too, by its Python and zlib.
environment_command(inEnvironment ${environment} ${dist})
set(PYTHON ${inEnvironment} python3)
foreach(preset x86 x64 arm64)
    set(build ${root}/build/release/${preset})
    clean_build(${preset} ${build} ${environment})
    file(MAKE_DIRECTORY ${stage}/${preset})
    stage_program(${preset} ${build}/bin/quenlark.exe ${stage}/${preset}/quenlark.exe)
endforeach()
load_cache(${root}/build/release/x64 READ_WITH_PREFIX release_ CMAKE_PROJECT_VERSION)
set(version ${release_CMAKE_PROJECT_VERSION})

# The README's links lead into docs/, which goes along.
file(COPY ${root}/README.md ${root}/LICENSE ${root}/docs DESTINATION ${stage}
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
file(GLOB docs RELATIVE ${stage} ${stage}/docs/*.md)
list(SORT docs)

write_build_info(${stage}/BUILDINFO ${environment} ${version})
file(CHMOD ${stage}/BUILDINFO PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
file(COPY_FILE ${stage}/BUILDINFO ${dist}/quenlark-${version}-BUILDINFO)

set(files x86/quenlark.exe x64/quenlark.exe arm64/quenlark.exe README.md ${docs} LICENSE BUILDINFO)
set(sums "")
foreach(file ${files})
    file(SHA256 ${stage}/${file} hash)
    string(APPEND sums "${hash}  ${file}\n")
endforeach()
file(WRITE ${stage}/SHA256SUMS "${sums}")
file(CHMOD ${stage}/SHA256SUMS PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# CMake's own archiver stores each file's access and change times, which no two
# builds share; this writer stores nothing but the files and one time stamp.
set(archive ${dist}/quenlark-${version}-windows.zip)
file(REMOVE ${archive})
run(${PYTHON} ${CMAKE_CURRENT_LIST_DIR}/write_zip.py ${archive} $ENV{SOURCE_DATE_EPOCH} ${stage} ${files} SHA256SUMS)
file(SHA256 ${archive} archiveHash)
message(STATUS "${archive}\n${sums}${archiveHash}  quenlark-${version}-windows.zip")

set(kit ${dist}/quenlark-${version}-tests-windows.zip)
run(${inEnvironment} cmake -DX86_BIN=${root}/build/release/x86/bin -DX64_BIN=${root}/build/release/x64/bin
    -DARM64_BIN=${root}/build/release/arm64/bin -DARCHIVE=${kit} -DEPOCH=$ENV{SOURCE_DATE_EPOCH} -P ${CMAKE_CURRENT_LIST_DIR}/write-test-kit.cmake)
file(SHA256 ${kit} kitHash)
message(STATUS "${kit}\n${kitHash}  quenlark-${version}-tests-windows.zip")

# What package managers and users check a download against.
file(WRITE ${dist}/quenlark-${version}-SHA256SUMS
     "${archiveHash}  quenlark-${version}-windows.zip\n${kitHash}  quenlark-${version}-tests-windows.zip\n")
if(REPOSITORY)
    write_package_manifests(${dist} ${root}/build/release ${archive} ${archiveHash} ${version} ${REPOSITORY} ${WINGET_IDENTIFIER})
else()
    message(STATUS "no -DREPOSITORY=OWNER/NAME: winget and Scoop manifests left out")
endif()
