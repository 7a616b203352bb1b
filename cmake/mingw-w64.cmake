# Cross-build for 64-bit Windows with Debian's mingw-w64 (posix threads, for
# std::thread and std::mutex). The runtime is linked in statically, so the
# programs need no DLL beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(NRVS_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${NRVS_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${NRVS_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${NRVS_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${NRVS_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config would offer the build machine's libraries.
set(PKG_CONFIG_EXECUTABLE "" CACHE FILEPATH "" FORCE)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# The tests and tools run under Wine here.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
