# One INTERFACE target carries the warnings and defines that every target uses.
add_library(tarnwick_options INTERFACE)

target_compile_options(tarnwick_options INTERFACE
    "$<$<CXX_COMPILER_ID:GNU>:-Wall;-Wextra;-Wpedantic>"
    "$<$<CXX_COMPILER_ID:Clang>:-Wall;-Wextra;-Wpedantic>")
if(TARNWICK_WARNINGS_AS_ERRORS)
    target_compile_options(tarnwick_options INTERFACE -Werror)
endif()
target_compile_definitions(tarnwick_options INTERFACE _FILE_OFFSET_BITS=64 QT_NO_KEYWORDS)
