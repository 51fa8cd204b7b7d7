# Checks a pushed tag before a release is published, and writes that
# version's release notes: the tag must be v<version> of project() in
# CMakeLists.txt, and CHANGELOG.md must have a section for that version
# ("## [<version>] - <date>", as Keep a Changelog has it), which becomes the
# notes. Each refusal says why.
# Usage: cmake -DTAG=v1.2.3 -DNOTES=notes.md -P cmake/release-notes.cmake
cmake_minimum_required(VERSION 3.25)
get_filename_component(root ${CMAKE_CURRENT_LIST_DIR} DIRECTORY)
if(NOT TAG OR NOT NOTES)
    message(FATAL_ERROR "usage: cmake -DTAG=v<version> -DNOTES=file -P cmake/release-notes.cmake")
endif()

file(READ ${root}/CMakeLists.txt project)
if(NOT project MATCHES "project\\(quenlark VERSION ([0-9.]+)")
    message(FATAL_ERROR "CMakeLists.txt states no version in project()")
endif()
set(version ${CMAKE_MATCH_1})
if(NOT TAG STREQUAL "v${version}")
    message(FATAL_ERROR "the tag ${TAG} does not name this commit's version: project() in CMakeLists.txt says "
                        "${version}, so the tag must be v${version}. Bump project() or move the tag.")
endif()

set(changelog ${root}/CHANGELOG.md)
if(EXISTS ${changelog})
    file(READ ${changelog} text)
else()
    set(text "")
endif()
string(REPLACE "." "\\." pattern ${version})
# The section runs from its heading to the next one, or to the link
# definitions at the end of the file.
if(NOT text MATCHES "\n## \\[${pattern}\\][^\n]*\n(.*)")
    message(FATAL_ERROR "CHANGELOG.md has no section for ${version}: add \"## [${version}] - YYYY-MM-DD\" "
                        "with what changed, as Keep a Changelog has it")
endif()
set(section "${CMAKE_MATCH_1}")
string(REGEX REPLACE "(^|\n)(## |\\[[^]\n]+\\]: ).*" "" section "${section}")
string(STRIP "${section}" section)
if(section STREQUAL "")
    message(FATAL_ERROR "CHANGELOG.md's section for ${version} is empty: say what changed")
endif()
file(WRITE ${NOTES} "${section}\n")
message(STATUS "${TAG}: the version of project(); release notes from CHANGELOG.md in ${NOTES}")
