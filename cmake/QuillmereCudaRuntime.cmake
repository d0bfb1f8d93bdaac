# Finds the CUDA runtime header and the shared libcudart, and sets
# QUILLMERE_CUDA_INCLUDE_DIR and QUILLMERE_CUDART_LIBRARY.
#
# FindCUDAToolkit (CMake 3.17+) is used when CMake has it; older CMake, as
# shipped on the oldest board images, falls back to a plain search under
# CUDAToolkit_ROOT, $CUDA_PATH and /usr/local/cuda.

if(QUILLMERE_CUDART_STANDIN)
  # Only the toolkit's headers are needed: the tool links the stand-in.
  set(_quillmere_cuda_roots ${CUDAToolkit_ROOT} $ENV{CUDAToolkit_ROOT} $ENV{CUDA_PATH} /usr/local/cuda)
  find_path(QUILLMERE_CUDA_INCLUDE_DIR cuda_runtime_api.h
    HINTS ${_quillmere_cuda_roots} PATH_SUFFIXES include NO_CMAKE_FIND_ROOT_PATH)
  set(QUILLMERE_CUDART_LIBRARY "stand-in")
elseif(NOT QUILLMERE_CUDA_INCLUDE_DIR OR NOT QUILLMERE_CUDART_LIBRARY)
  if(NOT CMAKE_VERSION VERSION_LESS 3.17)
    find_package(CUDAToolkit QUIET)
  endif()

  if(CUDAToolkit_FOUND AND CUDA_cudart_LIBRARY)
    find_path(QUILLMERE_CUDA_INCLUDE_DIR cuda_runtime_api.h HINTS ${CUDAToolkit_INCLUDE_DIRS})
    set(QUILLMERE_CUDART_LIBRARY "${CUDA_cudart_LIBRARY}" CACHE FILEPATH "Shared CUDA runtime library")
  else()
    set(_quillmere_cuda_roots ${CUDAToolkit_ROOT} $ENV{CUDAToolkit_ROOT} $ENV{CUDA_PATH} /usr/local/cuda)
    find_path(QUILLMERE_CUDA_INCLUDE_DIR cuda_runtime_api.h
      HINTS ${_quillmere_cuda_roots}
      PATH_SUFFIXES include targets/aarch64-linux/include targets/x86_64-linux/include)
    find_library(QUILLMERE_CUDART_LIBRARY
      NAMES libcudart.so cudart
      HINTS ${_quillmere_cuda_roots}
      PATH_SUFFIXES lib64 lib targets/aarch64-linux/lib targets/x86_64-linux/lib)
  endif()
endif()

if(NOT QUILLMERE_CUDA_INCLUDE_DIR OR NOT QUILLMERE_CUDART_LIBRARY)
  message(FATAL_ERROR
    "CUDA runtime not found (need cuda_runtime_api.h and the shared libcudart.so). "
    "Set CUDAToolkit_ROOT (-DCUDAToolkit_ROOT=/path/to/cuda) or the CUDA_PATH "
    "environment variable to the toolkit's directory.")
endif()
message(STATUS "CUDA runtime: ${QUILLMERE_CUDART_LIBRARY} (headers in ${QUILLMERE_CUDA_INCLUDE_DIR})")
