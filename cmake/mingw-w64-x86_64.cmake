# Cross build for 64-bit Windows with Debian's mingw-w64 (the -posix variant: GoogleTest and
# std::thread need its winpthreads threading model). Programs run under Wine: CTest and
# gtest_discover_tests start them through CMAKE_CROSSCOMPILING_EMULATOR.
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=$PWD/cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZELTO_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZELTO_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZELTO_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${ZELTO_MINGW}-windres)
set(CMAKE_AR ${ZELTO_MINGW}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${ZELTO_MINGW}-ranlib CACHE FILEPATH "")
set(CMAKE_STRIP ${ZELTO_MINGW}-strip CACHE FILEPATH "")
set(CMAKE_OBJDUMP ${ZELTO_MINGW}-objdump CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${ZELTO_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The programs must run on a bare Windows: the GCC runtime, the C++ library and winpthreads
# are linked in, so that only the system's own DLLs are imported.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Every Wine process of the build runs in the build's own prefix and with the machine's
# serial ports hidden (Wine would map COM1 onto /dev/ttyS0, the console here).
get_filename_component(ZELTO_TOOLCHAIN_ROOT ${CMAKE_CURRENT_LIST_DIR} DIRECTORY)
set(ZELTO_HIDE_PORTS ${ZELTO_TOOLCHAIN_ROOT}/tests/win/hide-system-ports)
find_program(ZELTO_WINE wine REQUIRED)
find_program(ZELTO_WINESERVER wineserver REQUIRED)
set(ZELTO_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix CACHE PATH "Wine prefix the programs run in")
# No Mono or Gecko installer prompts in a fresh prefix; WINEDEBUG=-all keeps Wine's own
# diagnostics out of the test output.
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${ZELTO_HIDE_PORTS} env WINEPREFIX=${ZELTO_WINEPREFIX} WINEDEBUG=-all
    WINEDLLOVERRIDES=mscoree,mshtml= ${ZELTO_WINE})
