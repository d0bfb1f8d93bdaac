# Cross build for 64-bit ARM with Debian's aarch64-linux-gnu toolchain; the
# tests run under qemu-user. The tool links an aarch64 libcudart: point
# CUDAToolkit_ROOT at a toolkit that has one (lib/aarch64-linux-gnu/ or
# targets/aarch64-linux/lib/), or link the test stand-in runtime instead with
# -DQUILLMERE_CUDART_STANDIN=ON.
#   apt-get install -y g++-aarch64-linux-gnu qemu-user googletest
#   mkdir build-aarch64 && cd build-aarch64
#   cmake -DCMAKE_TOOLCHAIN_FILE=../cmake/aarch64-linux-gnu.cmake -DCUDAToolkit_ROOT=... -DQUILLMERE_TESTS=ON ..
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /usr/aarch64-linux-gnu)

# There is no GoogleTest library for the target: build it from its sources.
set(QUILLMERE_GTEST_SOURCE /usr/src/googletest CACHE PATH "")
