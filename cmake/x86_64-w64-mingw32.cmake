# 64-bit Windows with Debian's MinGW-w64 cross compiler (g++-mingw-w64-x86-64-posix), run under
# Wine. The posix flavour has the C++ threads that GoogleTest needs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)  # GoogleTest looks for threads in C
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
# Static, so that the program runs on any Windows without MinGW's runtime DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)  # Debian: packages wine and wine64
