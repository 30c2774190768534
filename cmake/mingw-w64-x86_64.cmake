# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (the posix thread model, which Qt needs)
# against the Qt, libjpeg-turbo and GoogleTest that scripts/build-windows-toolchain.sh builds once into a
# cache outside the repository:
#   cmake -S . -B out/build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# The script reads the versions below, so the cache it fills is the one this file looks in.
set(LUMORA_WINDOWS_QT_VERSION 6.4.2)
set(LUMORA_WINDOWS_JPEG_VERSION 2.1.5)
set(LUMORA_WINDOWS_GTEST_VERSION 1.12.1)

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(_lumora_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_lumora_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_lumora_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_lumora_triple}-windres)

# The cache directory, named by what is in it; LUMORA_WINDOWS_SDK in the environment points elsewhere (the
# script itself uses it while the cache is being built). The environment, unlike a cache variable, also
# reaches CMake's try_compile projects, which read this file again.
if(DEFINED ENV{LUMORA_WINDOWS_SDK})
  set(LUMORA_WINDOWS_SDK "$ENV{LUMORA_WINDOWS_SDK}")
else()
  if(DEFINED ENV{XDG_CACHE_HOME})
    set(_lumora_cache "$ENV{XDG_CACHE_HOME}")
  else()
    set(_lumora_cache "$ENV{HOME}/.cache")
  endif()
  set(_lumora_versions qt${LUMORA_WINDOWS_QT_VERSION}-jpeg${LUMORA_WINDOWS_JPEG_VERSION}-gtest${LUMORA_WINDOWS_GTEST_VERSION})
  set(LUMORA_WINDOWS_SDK "${_lumora_cache}/lumora/mingw-${_lumora_versions}")
endif()

# Every install prefix: the MinGW runtime, then each library the script built.
set(CMAKE_FIND_ROOT_PATH /usr/${_lumora_triple} "${LUMORA_WINDOWS_SDK}/qt" "${LUMORA_WINDOWS_SDK}/libjpeg-turbo"
                         "${LUMORA_WINDOWS_SDK}/googletest")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Qt for Windows runs its code generators (moc, rcc, uic) from the host's Qt of the same version.
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)

# Windows test programs run under Wine; ctest and gtest_discover_tests go through it.
find_program(LUMORA_WINE wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(LUMORA_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${LUMORA_WINE}")
endif()
