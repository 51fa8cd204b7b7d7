# Settings every target of the project shares.

add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wcast-function-type -Werror)

# Two builds of one commit are alike byte for byte, wherever the source lies:
# no build path in any program (GoogleTest's messages name source files), and
# no link time stamp.
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=)
add_link_options(-Wl,--no-insert-timestamp)

# Programs must stand alone: no DLL of the compiler's (GCC and C++ runtimes,
# winpthread) beside them.
add_link_options(-static)

# C names of functions as the linker sees them: 32-bit x86 puts an underscore
# before each (entry points, renamed symbols).
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(QUENLARK_SYMBOL_PREFIX _)
endif()

# For the product only: the C runtime's own printf family from msvcrt.dll, and
# no C++ machinery that the code does not use. x64 keeps its unwind tables:
# every function that calls another or uses the stack needs its entry in the
# function table, or a debugger, a crash dump or Windows Error Reporting
# cannot walk the stack through it. 32-bit x86 has no such table, and would
# only carry DWARF tables that Windows never reads.
function(quenlark_product_settings target)
    target_compile_definitions(${target} PRIVATE __USE_MINGW_ANSI_STDIO=0 WIN32_LEAN_AND_MEAN)
    target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti -Os)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        target_compile_options(${target} PRIVATE -fno-asynchronous-unwind-tables)
    endif()
endfunction()
