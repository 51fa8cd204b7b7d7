# The winget and Scoop manifests of a release, which name its archive on the
# GitHub repository OWNER/NAME by URL and hash. Included by the release script.

# Refuses a repository or a winget identifier that no manifest could carry,
# before anything is built or written.
function(check_manifest_names repository identifier)
    # GitHub's rules: an owner of letters, digits and single inner hyphens, up
    # to 39 characters; a name of letters, digits, '.', '-' and '_', up to 100.
    if(NOT repository MATCHES "^([A-Za-z0-9]+(-[A-Za-z0-9]+)*)/([A-Za-z0-9._-]+)$"
       OR repository MATCHES "/\\.\\.?$")
        message(FATAL_ERROR "REPOSITORY must be OWNER/NAME as GitHub spells it (as in example/quenlark), not \"${repository}\"")
    endif()
    string(LENGTH "${CMAKE_MATCH_1}" ownerLength)
    string(LENGTH "${CMAKE_MATCH_3}" nameLength)
    if(ownerLength GREATER 39 OR nameLength GREATER 100)
        message(FATAL_ERROR "REPOSITORY \"${repository}\" is longer than GitHub allows (owner 39, name 100 characters)")
    endif()
    # winget's rule: two to eight parts joined by dots, each of 1 to 32
    # characters, none of them blank, a dot or one of \/:*?"<>|.
    set(part "[^]. \t\r\n\\\\/:*?\"<>|[]")
    if(NOT identifier MATCHES "^${part}+(\\.${part}+)+$")
        message(FATAL_ERROR "the winget identifier \"${identifier}\" is not Publisher.Package: give one with -DWINGET_IDENTIFIER")
    endif()
    string(REPLACE "." ";" parts "${identifier}")
    list(LENGTH parts count)
    foreach(piece ${parts})
        string(LENGTH "${piece}" length)
        if(length GREATER 32 OR count GREATER 8)
            message(FATAL_ERROR "the winget identifier \"${identifier}\" has a part over 32 characters or over 8 parts: give another with -DWINGET_IDENTIFIER")
        endif()
    endforeach()
endfunction()

# Writes dist/winget/manifests/<letter>/<Publisher>/<Package>/<version>/ and
# dist/scoop/quenlark.json for the archive `zip` of SHA-256 `zipHash`, whose
# builds for x86, x64 and arm64 are in `builds`/<architecture>. They are
# written beside and moved into place whole.
function(write_package_manifests dist builds zip zipHash version repository identifier)
    set(templates ${root}/packaging)
    get_filename_component(zipName ${zip} NAME)
    string(TOUPPER ${zipHash} installerSha256)
    string(REGEX REPLACE "/.*" "" owner ${repository})
    set(releaseUrl https://github.com/${repository}/releases/download)
    set(url ${releaseUrl}/v${version}/${zipName})
    string(REPLACE "-${version}-" "-$version-" urlPattern "${releaseUrl}/v$version/${zipName}")
    # The day the CHANGELOG gives the version, which is the day it is released.
    file(READ ${root}/CHANGELOG.md changelog)
    string(REPLACE "." "\\." versionPattern ${version})
    if(NOT changelog MATCHES "\n## \\[${versionPattern}\\] - ([0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9])\n")
        message(FATAL_ERROR "CHANGELOG.md has no section \"## [${version}] - YYYY-MM-DD\": winget's ReleaseDate is "
                            "its date")
    endif()
    set(releaseDate ${CMAKE_MATCH_1})

    file(READ ${templates}/winget/installer-entry.yaml.in entryTemplate)
    set(installers "")
    foreach(architecture x86 x64 arm64)
        load_cache(${builds}/${architecture} READ_WITH_PREFIX build_ QUENLARK_OLDEST_WINDOWS)
        set(minimumOSVersion ${build_QUENLARK_OLDEST_WINDOWS}.0.0)
        string(CONFIGURE "${entryTemplate}" entry @ONLY)
        string(APPEND installers "${entry}")
    endforeach()

    set(partial ${dist}/manifests.partial)
    file(REMOVE_RECURSE ${partial})
    string(REPLACE "." "/" identifierPath ${identifier})
    string(SUBSTRING ${identifier} 0 1 letter)
    string(TOLOWER ${letter} letter)
    set(winget ${partial}/winget/manifests/${letter}/${identifierPath}/${version})
    configure_file(${templates}/winget/version.yaml.in ${winget}/${identifier}.yaml @ONLY NEWLINE_STYLE UNIX)
    configure_file(${templates}/winget/installer.yaml.in ${winget}/${identifier}.installer.yaml @ONLY NEWLINE_STYLE UNIX)
    configure_file(${templates}/winget/locale.en-US.yaml.in ${winget}/${identifier}.locale.en-US.yaml @ONLY
                   NEWLINE_STYLE UNIX)

    # Scoop's bucket checks want CRLF line ends and 4-space indentation.
    configure_file(${templates}/scoop/quenlark.json.in ${partial}/scoop/quenlark.json @ONLY NEWLINE_STYLE CRLF)

    foreach(kind winget scoop)
        file(RENAME ${partial}/${kind} ${dist}/${kind})
    endforeach()
    file(REMOVE_RECURSE ${partial})
    string(REPLACE ${partial} ${dist} winget ${winget})

    # The winget manifests as a pull request to winget-pkgs adds them, from
    # manifests/ on.
    file(GLOB_RECURSE wingetFiles RELATIVE ${dist}/winget ${dist}/winget/*)
    list(SORT wingetFiles)
    run(${PYTHON} ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/write_zip.py ${dist}/winget-manifests.zip
        $ENV{SOURCE_DATE_EPOCH} ${dist}/winget ${wingetFiles})
    message(STATUS "${winget}/ and ${dist}/winget-manifests.zip (winget, ${identifier})\n"
                   "${dist}/scoop/quenlark.json (Scoop)")
endfunction()
