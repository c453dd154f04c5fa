# Cross-builds for 64-bit Windows with Debian's mingw-w64 (posix threads).
# Programs and DLLs (Qt's too) link the C and C++ runtimes statically, so a
# bare Windows or wine runs them with no runtime DLLs beside them; CTest runs
# the programs through wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TARNWICK_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TARNWICK_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARNWICK_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TARNWICK_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TARNWICK_MINGW_TRIPLET})
# Qt for Windows, where the windows preset names it (scripts/build-qt-windows
# builds it there); Qt's own build goes without.
if(TARNWICK_QT_WINDOWS_DIR)
    list(APPEND CMAKE_FIND_ROOT_PATH ${TARNWICK_QT_WINDOWS_DIR})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(TARNWICK_STATIC_RUNTIME "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT ${TARNWICK_STATIC_RUNTIME})
set(CMAKE_SHARED_LINKER_FLAGS_INIT ${TARNWICK_STATIC_RUNTIME})
set(CMAKE_MODULE_LINKER_FLAGS_INIT ${TARNWICK_STATIC_RUNTIME})

set(CMAKE_CROSSCOMPILING_EMULATOR wine)
