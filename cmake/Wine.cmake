# Windows programs built here run under Wine. x86 and x64 share one prefix,
# build/wineprefix (a 64-bit one with its 32-bit half), as their tests run one
# target after the other; ARM64 programs run in Debian's arm64 Wine, in a
# prefix of that build's own. A prefix must be set up once before parallel
# tests use it, and its Wine server must not outlive the test run.

if(NOT CMAKE_CROSSCOMPILING OR CMAKE_HOST_WIN32)
    return()
endif()

set(QUENLARK_WINEPREFIX ${PROJECT_SOURCE_DIR}/build/wineprefix)
set(prefixOptions "")
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "ARM64")
    set(QUENLARK_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
    set(QUENLARK_WINE_ARCH arm64)
    set(prefixOptions --arm64)
elseif(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(QUENLARK_WINE_ARCH x64)
else()
    set(QUENLARK_WINE_ARCH x86)
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/harness/wine-run ${QUENLARK_WINE_ARCH} ${QUENLARK_WINEPREFIX})
# For GoogleTest programs, which exit 0 or 1 (tests/CMakeLists.txt).
set(QUENLARK_GOOGLETEST_EMULATOR ${PROJECT_SOURCE_DIR}/harness/wine-run --googletest ${QUENLARK_WINE_ARCH}
    ${QUENLARK_WINEPREFIX})

add_test(NAME wine_prefix_up COMMAND ${PROJECT_SOURCE_DIR}/harness/wine-prefix up ${QUENLARK_WINEPREFIX} ${prefixOptions})
add_test(NAME wine_prefix_down COMMAND ${PROJECT_SOURCE_DIR}/harness/wine-prefix down ${QUENLARK_WINEPREFIX} ${prefixOptions})
set_tests_properties(wine_prefix_up PROPERTIES FIXTURES_SETUP wine)
set_tests_properties(wine_prefix_down PROPERTIES FIXTURES_CLEANUP wine)

# Marks tests that run a Windows program: they need the prefix, and they are
# skipped where this machine has no Wine for the target's architecture.
function(quenlark_runs_under_wine)
    set_tests_properties(${ARGN} PROPERTIES FIXTURES_REQUIRED wine SKIP_RETURN_CODE 77)
endfunction()
