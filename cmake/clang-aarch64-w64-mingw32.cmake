# 64-bit Windows on ARM64, cross built with Debian's clang, lld and LLVM tools
# against MinGW-w64's headers. No C or C++ runtime library comes with it for
# this target: programs start at their own entry point, and their import
# libraries are made from the project's own lists (src/imports/).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ARM64)
set(QUENLARK_OWN_IMPORT_LIBRARIES ON)

set(triple aarch64-w64-mingw32)
set(CMAKE_C_COMPILER clang)
set(CMAKE_C_COMPILER_TARGET ${triple})
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET ${triple})
# WORKAROUND(Debian 12, Debian 13): Debian names LLVM's resource compiler by its
# version only (llvm-windres-14, llvm-windres-19).
find_program(CMAKE_RC_COMPILER NAMES llvm-windres llvm-windres-19 llvm-windres-18 llvm-windres-17 llvm-windres-16
    llvm-windres-15 llvm-windres-14 REQUIRED)
set(CMAKE_RC_FLAGS "--target=${triple} -I/usr/share/mingw-w64/include")
set(CMAKE_OBJDUMP llvm-objdump CACHE FILEPATH "")
set(QUENLARK_DLLTOOL llvm-dlltool)

set(mingwHeaders /usr/share/mingw-w64/include)
set(CMAKE_C_FLAGS_INIT "-isystem ${mingwHeaders}")
set(CMAKE_CXX_FLAGS_INIT "-isystem ${mingwHeaders}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -nostdlib -nostartfiles")
# Each target names the import libraries it links; there are no others.
set(CMAKE_C_STANDARD_LIBRARIES "" CACHE STRING "")
set(CMAKE_CXX_STANDARD_LIBRARIES "" CACHE STRING "")
# The compiler checks link a program with no runtime: a static library will do.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
