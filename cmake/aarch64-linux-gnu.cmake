# Cross build for 64-bit ARM with Debian's aarch64-linux-gnu toolchain; the
# tests run under qemu-user. The x86_64 libcudart cannot be linked, so the tool
# links the test stand-in runtime built for aarch64.
#   apt-get install -y g++-aarch64-linux-gnu qemu-user
#   cmake -S . -B build-aarch64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake -DQUILLMERE_TESTS=ON
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

set(QUILLMERE_CUDART_STANDIN ON CACHE BOOL "" FORCE)
set(QUILLMERE_GTEST_SOURCE /usr/src/googletest CACHE PATH "" FORCE)
