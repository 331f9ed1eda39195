# Cross toolchain: Windows with MinGW-w64, for the processor that the including
# file names in QVR_MINGW_CPU (i686 or x86_64). The POSIX-thread variant of the
# compilers is needed because GoogleTest uses std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${QVR_MINGW_CPU})

set(CMAKE_C_COMPILER ${QVR_MINGW_CPU}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${QVR_MINGW_CPU}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${QVR_MINGW_CPU}-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QVR_MINGW_CPU}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Test executables run through Wine, under the loader of their build, in a prefix
# private to this checkout.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh
    ${QVR_WINDOWS_ARCH})
