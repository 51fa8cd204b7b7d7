# The build environment a release is made in: a Debian root of its own with
# the packages building needs, made by mmdebstrap without root and kept in
# build/environment/, so that a release's bytes depend on the packages it
# records and not on the host's. Programs run in it as its root user, in a
# user namespace of their own, with only the project's folders mounted.
# Included by CleanBuild.cmake.

# Debian 13, the current stable, which changes only at a point release.
set(environmentSuite trixie)
set(environmentPackages cmake make g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix googletest clang lld llvm
    python3)
if(NOT MIRROR)
    set(MIRROR http://deb.debian.org/debian)
endif()
set(environments ${root}/build/environment)

# ROOT FOLDER... (from $0 on): runs what follows in ROOT with each FOLDER at its
# own path, /proc and /dev, and a clean environment that keeps only
# SOURCE_DATE_EPOCH. Without a semicolon, which would split it as a CMake list.
set(enterEnvironment [[
root=$0
while [ "$1" != -- ]
do
    mkdir -p "$root$1" && mount --bind "$1" "$root$1" || exit 125
    shift
done
shift
mkdir -p "$root/proc" "$root/dev"
mount -t proc proc "$root/proc" && mount --rbind /dev "$root/dev" || exit 125
exec chroot "$root" /usr/bin/env -i PATH=/usr/bin:/bin HOME=/nonexistent LC_ALL=C.UTF-8 TZ=UTC \
    SOURCE_DATE_EPOCH="$SOURCE_DATE_EPOCH" "$@"
]])

# Sets VAR to the command that runs a program (what follows it) in the
# environment ENVIRONMENT, with the project and each FOLDER outside it mounted.
function(environment_command var environment)
    set(folders ${root})
    foreach(folder ${ARGN})
        string(FIND "${folder}/" "${root}/" inside)
        if(NOT inside EQUAL 0)
            list(APPEND folders ${folder})
        endif()
    endforeach()
    set(${var} unshare --user --map-root-user --mount --pid --fork --kill-child sh -c "${enterEnvironment}"
        ${environment}/root ${folders} -- PARENT_SCOPE)
endfunction()

# Sets VAR to the key of Debian SUITE for ARCHITECTURE with PACKAGES ("name (=
# version)" each): the same packages give the same key, wherever it is made.
function(environment_key var suite architecture packages)
    string(SHA256 key "${suite} ${architecture} ${packages}")
    string(SUBSTRING ${key} 0 16 key)
    set(${var} ${key} PARENT_SCOPE)
endfunction()

# Makes ENVIRONMENT/root with Debian SUITE for ARCHITECTURE from MIRROR and
# INCLUDES (names, or name=version), then ENVIRONMENT/key. Sets VAR to what
# mmdebstrap said where it failed, else to "".
function(make_environment var environment suite architecture includes)
    file(REMOVE_RECURSE ${environment})
    file(MAKE_DIRECTORY ${environment}/root.new)
    string(REPLACE ";" "," includes "${includes}")
    # The mirror's state, by which Debian's snapshot archive finds it again.
    set(recordDate [[sed -n 's/^Date: //p' "$1"/var/lib/apt/lists/*Release | head -n 1 >"$1/archive-date"]])
    message(STATUS "Making the build environment (Debian ${suite}, ${architecture}) in ${environment} from ${MIRROR}")
    execute_process(
        COMMAND mmdebstrap --mode=unshare --variant=essential --arch=${architecture} --include=${includes}
                --skip=output/dev "--aptopt=Acquire::Check-Valid-Until \"false\"" "--customize-hook=${recordDate}"
                ${suite} - ${MIRROR}
        COMMAND tar -C ${environment}/root.new --no-same-owner -xf -
        ERROR_VARIABLE said RESULTS_VARIABLE results)
    if(NOT results MATCHES "^0;0$")
        set(${var} "${said}" PARENT_SCOPE)
        return()
    endif()
    file(RENAME ${environment}/root.new ${environment}/root)
    installed_packages(packages ${environment})
    environment_key(key ${suite} ${architecture} "${packages}")
    file(WRITE ${environment}/key ${key})
    set(${var} "" PARENT_SCOPE)
endfunction()

# Sets VAR to the packages installed in ENVIRONMENT, "name (= version)" each,
# sorted by name.
function(installed_packages var environment)
    environment_command(enter ${environment})
    execute_process(COMMAND ${enter} dpkg-query -W "--showformat=\${db:Status-Abbrev}\${Package} (= \${Version})\\n"
                    OUTPUT_VARIABLE listed RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "dpkg-query in ${environment} failed")
    endif()
    string(REPLACE "\n" ";" packages "${listed}")
    list(FILTER packages INCLUDE REGEX "^ii ")
    list(TRANSFORM packages REPLACE "^ii " "")
    list(SORT packages)
    set(${var} "${packages}" PARENT_SCOPE)
endfunction()

# Sets VAR to the release's environment, build/environment/release: the one
# kept, unless it was made for other packages than building needs now.
function(release_environment var)
    set(environment ${environments}/release)
    set(${var} ${environment} PARENT_SCOPE)
    if(EXISTS ${environment}/key AND EXISTS ${environment}/packages)
        file(READ ${environment}/packages kept)
        if(kept STREQUAL "${environmentSuite} ${environmentPackages}")
            message(STATUS "Build environment: ${environment}, kept")
            return()
        endif()
    endif()
    execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE architecture OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(architecture STREQUAL "")
        set(architecture amd64)
    endif()
    make_environment(failure ${environment} ${environmentSuite} ${architecture} "${environmentPackages}")
    if(failure)
        message(FATAL_ERROR "mmdebstrap could not make the build environment:\n${failure}")
    endif()
    file(WRITE ${environment}/packages "${environmentSuite} ${environmentPackages}")
endfunction()

# Sets VAR to an environment with exactly PACKAGES ("name (= version)" each)
# of Debian SUITE for ARCHITECTURE, from a mirror whose Release file had the
# date ARCHIVE_DATE: one kept with that key, else a new one. Ends the script,
# naming each version the mirror no longer has, where it cannot be made.
function(recorded_environment var suite architecture archiveDate packages)
    environment_key(key ${suite} ${architecture} "${packages}")
    file(GLOB keys ${environments}/*/key)
    foreach(keyFile ${keys})
        file(READ ${keyFile} kept)
        get_filename_component(environment ${keyFile} DIRECTORY)
        if(kept STREQUAL key AND EXISTS ${environment}/root)
            message(STATUS "Build environment: ${environment}, kept")
            set(${var} ${environment} PARENT_SCOPE)
            return()
        endif()
    endforeach()
    set(environment ${environments}/${key})
    list(TRANSFORM packages REPLACE " \\(= (.*)\\)$" "=\\1" OUTPUT_VARIABLE includes)
    make_environment(failure ${environment} ${suite} ${architecture} "${includes}")
    string(REGEX MATCHALL "Version '[^']+' for '[^']+' was not found" missing "${failure}")
    if(missing)
        list(TRANSFORM missing REPLACE "Version '([^']+)' for '([^']+)' was not found" "  \\2 \\1")
        list(JOIN missing "\n" missing)
        file(REMOVE_RECURSE ${environment})
        # Stable's Release file changes at a point release, which the snapshot
        # archive takes in some hours later: its state of the next day is the
        # mirror's.
        execute_process(COMMAND date -u -d "${archiveDate}" +%s OUTPUT_VARIABLE seconds OUTPUT_STRIP_TRAILING_WHITESPACE
                        ERROR_QUIET)
        set(snapshotTime "")
        if(seconds MATCHES "^[0-9]+$")
            math(EXPR seconds "${seconds} + 86400")
            execute_process(COMMAND date -u -d @${seconds} +%Y%m%dT%H%M%SZ OUTPUT_VARIABLE snapshotTime
                            OUTPUT_STRIP_TRAILING_WHITESPACE)
        endif()
        if(NOT snapshotTime MATCHES "^[0-9]+T[0-9]+Z$")
            set(snapshotTime "<a time after ${archiveDate}, as YYYYMMDDTHHMMSSZ>")
        endif()
        message(FATAL_ERROR "${MIRROR} no longer has these versions the release was built with:\n${missing}\n"
                            "Debian's snapshot archive keeps every version: run again with "
                            "-DMIRROR=https://snapshot.debian.org/archive/debian/${snapshotTime}/")
    elseif(failure)
        message(FATAL_ERROR "mmdebstrap could not make the build environment:\n${failure}")
    endif()
    installed_packages(installed ${environment})
    if(NOT installed STREQUAL packages)
        set(extra ${installed})
        list(REMOVE_ITEM extra ${packages})
        list(REMOVE_ITEM packages ${installed})
        list(JOIN extra "\n  " extra)
        list(JOIN packages "\n  " packages)
        file(REMOVE_RECURSE ${environment})
        message(FATAL_ERROR "the build environment made from ${MIRROR} is not the release's.\n"
                            "It has:\n  ${extra}\nand not, as recorded:\n  ${packages}")
    endif()
    set(${var} ${environment} PARENT_SCOPE)
endfunction()
