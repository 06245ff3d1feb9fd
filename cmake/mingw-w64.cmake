# Cross-building for 64-bit Windows with Debian's MinGW-w64 (the posix thread model, so that
# std::thread and std::jthread work). Programs built here that the build itself runs (the
# defaults generator) and the tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Static runtime: Wine (and a user's machine) needs no MinGW DLLs beside the programs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
find_program(VQ_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(VQ_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VQ_WINE})
endif()
# -O2 for release builds: at -O3, GCC 12 with MinGW's libstdc++ reports impossible overlaps and
# out-of-bounds copies inside std::string and std::vector (false positives of -Wrestrict and
# -Warray-bounds), which warnings-as-errors turns into a failed build.
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of release builds")
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of release builds")
# std::binary_semaphore (which std::stop_callback waits on when a stop request runs the callback
# on another thread) falls back in GCC 12 on Windows to an atomic wait whose wake-up can be lost:
# a thread leaving a stop_callback's scope then hangs for ever. The POSIX semaphore of
# winpthreads does not lose it.
set(CMAKE_CXX_FLAGS_INIT "-D_GLIBCXX_USE_POSIX_SEMAPHORE=1")
