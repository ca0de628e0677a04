# Cross-building for 64-bit Windows with Debian's MinGW-w64 (POSIX threads
# flavour). SPINDREL_WIN_PREFIX names the folder windows/build-libs.sh built
# SDL, SDL_mixer and libmpg123 into; pkg-config looks there only.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES SPINDREL_WIN_PREFIX)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${SPINDREL_WIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} ${SPINDREL_WIN_PREFIX}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# Debian's sdl.pc names SDLmain, which supplies the Windows entry point,
# only among the static link's libraries.
set(PKG_CONFIG_ARGN --static)

# The C and C++ runtimes and the threads library are linked in: the zip
# ships no DLL of the compiler's. The threads library goes in whole, as the
# compiler's own libraries, named after it on the line, call into it.
set(CMAKE_EXE_LINKER_FLAGS_INIT
    "-static-libgcc -static-libstdc++ -Wl,-Bstatic,--whole-archive -lwinpthread -Wl,--no-whole-archive,-Bdynamic")
