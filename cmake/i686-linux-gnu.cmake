# i386 with Debian's cross compiler (g++-i686-linux-gnu). An x86-64 kernel built with 32-bit
# support runs the result natively, Valgrind and terminal tests included; on one without it, add
# -DCMAKE_CROSSCOMPILING_EMULATOR="qemu-i386;-L;/usr/i686-linux-gnu" to run it under qemu-user.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)
# Where the i386 libraries of the Debian multiarch packages (libgtest-dev:i386) live.
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
