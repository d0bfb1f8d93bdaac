# Finds the CUDA runtime header and the shared libcudart of one and the same
# toolkit, and sets QUILLMERE_CUDA_INCLUDE_DIR, QUILLMERE_CUDART_LIBRARY and
# QUILLMERE_CUDART_SONAME (the soname that goes with the header's version)
# and QUILLMERE_CUDA_MAJOR.
#
# Toolkit roots are tried in this order; the first that holds both the header
# and the library gives both, so a header of one toolkit never meets the
# library of another:
#   CUDAToolkit_ROOT (CMake or environment variable), $CUDA_PATH,
#   the toolkit of the nvcc on PATH, /usr/local/cuda, and the system's /usr.
# Each root is looked at in the NVIDIA layouts (include/, lib64/, lib/,
# targets/<arch>-linux/) and in the distribution layout (include/,
# lib/<multiarch triplet>/). A path set in QUILLMERE_CUDA_INCLUDE_DIR or
# QUILLMERE_CUDART_LIBRARY is taken as it is. Either way, configure stops when
# the header's CUDART_VERSION and the library's soname do not belong together.
#
# Plain find_path/find_library only, so that CMake 3.10 runs the same search
# as any later CMake.

if(CMAKE_LIBRARY_ARCHITECTURE)
  set(_quillmere_triplet "${CMAKE_LIBRARY_ARCHITECTURE}")
else()
  set(_quillmere_triplet "${CMAKE_SYSTEM_PROCESSOR}-linux-gnu")
endif()
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
  set(_quillmere_targets targets/aarch64-linux targets/sbsa-linux)
else()
  set(_quillmere_targets "targets/${CMAKE_SYSTEM_PROCESSOR}-linux")
endif()
set(_quillmere_include_suffixes include)
set(_quillmere_library_suffixes "lib/${_quillmere_triplet}")
if(NOT CMAKE_CROSSCOMPILING)
  # Without a triplet or target in the path, a library is the host's.
  list(APPEND _quillmere_library_suffixes lib64 lib)
endif()
foreach(_quillmere_target ${_quillmere_targets})
  list(APPEND _quillmere_include_suffixes "${_quillmere_target}/include")
  list(APPEND _quillmere_library_suffixes "${_quillmere_target}/lib")
endforeach()

# The roots given by the user, then the usual places.
set(_quillmere_given_roots ${CUDAToolkit_ROOT} $ENV{CUDAToolkit_ROOT} $ENV{CUDA_PATH})
find_program(_quillmere_nvcc nvcc NO_CMAKE_FIND_ROOT_PATH)
set(_quillmere_roots ${_quillmere_given_roots})
if(_quillmere_nvcc)
  get_filename_component(_quillmere_nvcc_root "${_quillmere_nvcc}" DIRECTORY)
  get_filename_component(_quillmere_nvcc_root "${_quillmere_nvcc_root}" DIRECTORY)
  list(APPEND _quillmere_roots "${_quillmere_nvcc_root}")
endif()
unset(_quillmere_nvcc CACHE)
list(APPEND _quillmere_roots /usr/local/cuda /usr)
list(REMOVE_DUPLICATES _quillmere_roots)

# Looks in root alone; sets include_var and library_var, or leaves them empty.
function(_quillmere_find_in_root root include_var library_var)
  find_path(_quillmere_probe_include cuda_runtime_api.h
    PATHS "${root}" PATH_SUFFIXES ${_quillmere_include_suffixes}
    NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  find_library(_quillmere_probe_library
    NAMES libcudart.so cudart libcudart.so.13 libcudart.so.12 libcudart.so.11.0
          libcudart.so.10.2 libcudart.so.10.1 libcudart.so.10.0
    PATHS "${root}" PATH_SUFFIXES ${_quillmere_library_suffixes}
    NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  foreach(_quillmere_probe _quillmere_probe_include _quillmere_probe_library)
    if(NOT ${_quillmere_probe})
      set(${_quillmere_probe} "")
    endif()
  endforeach()
  set(${include_var} "${_quillmere_probe_include}" PARENT_SCOPE)
  set(${library_var} "${_quillmere_probe_library}" PARENT_SCOPE)
  unset(_quillmere_probe_include CACHE)
  unset(_quillmere_probe_library CACHE)
endfunction()

set(QUILLMERE_CUDA_INCLUDE_DIR "" CACHE PATH "Directory of cuda_runtime_api.h (skips the search for it)")
set(QUILLMERE_CUDART_LIBRARY "" CACHE FILEPATH "Shared CUDA runtime library (skips the search for it)")
set(_quillmere_include "${QUILLMERE_CUDA_INCLUDE_DIR}")
set(_quillmere_library "${QUILLMERE_CUDART_LIBRARY}")
if(QUILLMERE_CUDART_STANDIN)
  # Only the header is needed: the tool links the stand-in.
  set(_quillmere_library "stand-in")
endif()

# A path set by the user stands for itself; the other comes from the first
# root that holds it (and, unless the user set one, both come from that root).
if(NOT _quillmere_include OR NOT _quillmere_library)
  foreach(_quillmere_root ${_quillmere_roots})
    _quillmere_find_in_root("${_quillmere_root}" _quillmere_root_include _quillmere_root_library)
    if(QUILLMERE_CUDA_INCLUDE_DIR)
      set(_quillmere_root_include "${QUILLMERE_CUDA_INCLUDE_DIR}")
    endif()
    if(QUILLMERE_CUDART_LIBRARY OR QUILLMERE_CUDART_STANDIN)
      set(_quillmere_root_library "${_quillmere_library}")
    endif()
    if(_quillmere_root_include AND _quillmere_root_library)
      set(_quillmere_include "${_quillmere_root_include}")
      set(_quillmere_library "${_quillmere_root_library}")
      set(_quillmere_chosen_root "${_quillmere_root}")
      break()
    endif()
  endforeach()
  list(FIND _quillmere_given_roots "${_quillmere_chosen_root}" _quillmere_given_index)
  if(_quillmere_given_roots AND _quillmere_given_index EQUAL -1)
    message(WARNING "No CUDA runtime (cuda_runtime_api.h with libcudart.so for ${_quillmere_triplet}) "
      "under ${_quillmere_given_roots}; looked in the usual places instead.")
  endif()
endif()

if(NOT _quillmere_include OR NOT _quillmere_library)
  message(FATAL_ERROR
    "CUDA runtime not found (need cuda_runtime_api.h and the shared libcudart.so of one toolkit, "
    "for ${_quillmere_triplet}). Set CUDAToolkit_ROOT (-DCUDAToolkit_ROOT=/path/to/cuda) or the "
    "CUDA_PATH environment variable to the toolkit's directory.")
endif()

# The header's runtime version and the soname a library of that version has.
file(STRINGS "${_quillmere_include}/cuda_runtime_api.h" _quillmere_version_line
  REGEX "^#define[ \t]+CUDART_VERSION[ \t]+[0-9]+")
string(REGEX REPLACE "^#define[ \t]+CUDART_VERSION[ \t]+([0-9]+).*" "\\1"
  _quillmere_version "${_quillmere_version_line}")
if(NOT _quillmere_version MATCHES "^[0-9]+$")
  message(FATAL_ERROR "No CUDART_VERSION in ${_quillmere_include}/cuda_runtime_api.h")
endif()
math(EXPR _quillmere_major "${_quillmere_version} / 1000")
math(EXPR _quillmere_minor "${_quillmere_version} % 1000 / 10")
if(_quillmere_major EQUAL 10)
  set(QUILLMERE_CUDART_SONAME "libcudart.so.10.${_quillmere_minor}")
elseif(_quillmere_major EQUAL 11)
  set(QUILLMERE_CUDART_SONAME "libcudart.so.11.0")
else()
  set(QUILLMERE_CUDART_SONAME "libcudart.so.${_quillmere_major}")
endif()

if(NOT QUILLMERE_CUDART_STANDIN)
  # The soname stands in the library's dynamic string table as plain text.
  get_filename_component(_quillmere_library_file "${_quillmere_library}" REALPATH)
  file(STRINGS "${_quillmere_library_file}" _quillmere_sonames REGEX "^libcudart\\.so\\.[0-9.]+$")
  list(FIND _quillmere_sonames "${QUILLMERE_CUDART_SONAME}" _quillmere_soname_index)
  if(_quillmere_soname_index EQUAL -1)
    if(NOT _quillmere_sonames)
      set(_quillmere_sonames "no libcudart soname")
    endif()
    message(FATAL_ERROR
      "CUDA runtime header and library belong to different toolkits:\n"
      "  ${_quillmere_include}/cuda_runtime_api.h is CUDA ${_quillmere_major}.${_quillmere_minor} "
      "(CUDART_VERSION ${_quillmere_version}), whose runtime is ${QUILLMERE_CUDART_SONAME};\n"
      "  ${_quillmere_library} is ${_quillmere_sonames}.\n"
      "Point CUDAToolkit_ROOT at the one toolkit that holds both.")
  endif()
endif()

set(QUILLMERE_CUDA_INCLUDE_DIR "${_quillmere_include}")
set(QUILLMERE_CUDART_LIBRARY "${_quillmere_library}")
set(QUILLMERE_CUDA_MAJOR "${_quillmere_major}")
message(STATUS "CUDA runtime: ${QUILLMERE_CUDART_LIBRARY} (headers in ${QUILLMERE_CUDA_INCLUDE_DIR}, "
  "CUDA ${_quillmere_major}.${_quillmere_minor}, ${QUILLMERE_CUDART_SONAME})")
