# i386 with Debian's cross compiler (g++-i686-linux-gnu), run under qemu-user, since not every
# x86-64 kernel can run 32-bit programs.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)  # libgtest-dev:i386
# -L points qemu at the cross compiler's C and C++ runtime libraries.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386 -L /usr/i686-linux-gnu)
