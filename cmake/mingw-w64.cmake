# Cross-builds for 64-bit Windows with Debian's mingw-w64 (posix thread model), for
# freeglut and for Avifold alike. tools/build_windows.sh uses it through the "windows"
# preset.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(AVIFOLD_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${AVIFOLD_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${AVIFOLD_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${AVIFOLD_MINGW}-windres)

# The static freeglut built beside the program; find_package sees it as part of the
# target's root.
if(NOT AVIFOLD_FREEGLUT_PREFIX)
  set(AVIFOLD_FREEGLUT_PREFIX ${CMAKE_CURRENT_LIST_DIR}/../build-windows/freeglut/install)
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${AVIFOLD_MINGW} ${AVIFOLD_FREEGLUT_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Without -static even -static-libgcc -static-libstdc++ leave libwinpthread-1.dll to
# ship: fully static, the program needs only Windows' own DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
