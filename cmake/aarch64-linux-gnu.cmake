# arm64 with Debian's cross compiler (g++-aarch64-linux-gnu), run under qemu-user.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)  # libgtest-dev:arm64
# -L points qemu at the cross compiler's C and C++ runtime libraries. pauth-impdef runs the
# hardened build's return-address signing with an algorithm that qemu emulates much faster.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -cpu max,pauth-impdef=on -L /usr/aarch64-linux-gnu)
