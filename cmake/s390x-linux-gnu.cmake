# s390x with Debian's cross compiler (g++-s390x-linux-gnu), run under qemu-user: big-endian, with
# an unsigned char, so it catches byte handling that only works where char is signed.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(CMAKE_CXX_COMPILER s390x-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE s390x-linux-gnu)  # libgtest-dev:s390x
# -L points qemu at the cross compiler's C and C++ runtime libraries.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-s390x -L /usr/s390x-linux-gnu)
