# i386 with Debian's cross compiler (g++-i686-linux-gnu). An x86-64 kernel runs the result
# natively, so every test runs as it is, Valgrind and terminal included.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)
# Where the i386 libraries of the Debian multiarch packages (libgtest-dev:i386) live.
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
