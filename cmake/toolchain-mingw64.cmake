# Cross build for 64-bit Windows with Debian's MinGW-w64 (GCC, POSIX thread
# model). Programs link the C and C++ runtime and winpthread statically, so
# each .exe runs on its own. Test programs run under Wine with a private
# prefix inside the build tree (see wine-run.sh).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QM_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QM_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QM_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${QM_MINGW_TRIPLET}-windres)

# Libraries and headers come only from the MinGW sysroot (zlib) and from the
# folder where libpng and GoogleTest were built for Windows (QM_WIN64_DEPS),
# never from the Linux system.
set(CMAKE_FIND_ROOT_PATH /usr/${QM_MINGW_TRIPLET})
if(QM_WIN64_DEPS)
  list(APPEND CMAKE_FIND_ROOT_PATH ${QM_WIN64_DEPS})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ZLIB_USE_STATIC_LIBS ON)

# Windows 10 and later.
set(CMAKE_C_FLAGS_INIT "-D_WIN32_WINNT=0x0A00 -DWINVER=0x0A00 -DUNICODE -D_UNICODE")
set(CMAKE_CXX_FLAGS_INIT "-D_WIN32_WINNT=0x0A00 -DWINVER=0x0A00 -DUNICODE -D_UNICODE")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

set(QM_WINE_PREFIX "${CMAKE_BINARY_DIR}/wine" CACHE PATH "Private Wine prefix for running the test programs")
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh;${QM_WINE_PREFIX}")
