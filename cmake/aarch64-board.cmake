# Board packages for 64-bit ARM: clang with lld against a sysroot of an older
# C library (QUILLMERE_BOARD_SYSROOT, Debian bullseye's arm64 libc6 2.31 and
# libstdc++ 10 as tools/board-packages lays it out), with the C++ runtime
# linked in statically, so that one binary starts on every board release of
# its CUDA major. The runtime library itself is found under CUDAToolkit_ROOT.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER clang)
set(CMAKE_C_COMPILER_TARGET aarch64-linux-gnu)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET aarch64-linux-gnu)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
# try_compile runs this file again and needs the sysroot too.
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUILLMERE_BOARD_SYSROOT)
if(NOT QUILLMERE_BOARD_SYSROOT)
  message(FATAL_ERROR "Set QUILLMERE_BOARD_SYSROOT to the arm64 sysroot (tools/board-packages makes one)")
endif()
set(CMAKE_SYSROOT "${QUILLMERE_BOARD_SYSROOT}")
# Hardened as Debian builds its own: fortified calls, a read-only GOT bound at start.
set(CMAKE_CXX_FLAGS_INIT "-D_FORTIFY_SOURCE=2")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -static-libstdc++ -static-libgcc -Wl,-z,relro,-z,now")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-fuse-ld=lld")
find_program(CMAKE_STRIP NAMES llvm-strip llvm-strip-14 aarch64-linux-gnu-strip)

set(CMAKE_FIND_ROOT_PATH "${QUILLMERE_BOARD_SYSROOT}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
