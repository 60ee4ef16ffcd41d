# Cross build for Windows with Debian's mingw-w64 compilers (posix thread model) against Qt 4.8
# built with the same compilers: the stand-ins, the host program, the module and the server,
# as Windows programs and DLLs. The architecture is GARBWRIGHT_WINDOWS_ARCH, x86_64 (64-bit,
# the default) or i686 (32-bit). The programs use the compiler's runtime DLLs, as Qt's own
# DLLs do, so that C++ objects and exceptions pass between the host, the SDK's DLL and the
# module; those DLLs come with that Qt.
if(NOT GARBWRIGHT_WINDOWS_ARCH)
  set(GARBWRIGHT_WINDOWS_ARCH x86_64)
endif()
# Try-compiles read this file again and need the architecture too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES GARBWRIGHT_WINDOWS_ARCH)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${GARBWRIGHT_WINDOWS_ARCH})

set(CMAKE_C_COMPILER ${GARBWRIGHT_WINDOWS_ARCH}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${GARBWRIGHT_WINDOWS_ARCH}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${GARBWRIGHT_WINDOWS_ARCH}-w64-mingw32-windres)

# Qt's folder joins this root in cmake/GarbwrightQt4.cmake, once its qmake is known.
set(CMAKE_FIND_ROOT_PATH /usr/${GARBWRIGHT_WINDOWS_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests run the programs through Wine, with a wineserver of their own network's.
set(CMAKE_CROSSCOMPILING_EMULATOR sh "${CMAKE_CURRENT_LIST_DIR}/../tests/common/winerun.sh")
