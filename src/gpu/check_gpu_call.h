#ifndef QUILLMERE_GPU_CHECK_GPU_CALL_H
#define QUILLMERE_GPU_CHECK_GPU_CALL_H

#include <cuda_runtime_api.h>

// Source-file label printed in every CUDA error line.
#define QUILLMERE_FILE_LABEL "quillmere"

// Makes a checked runtime call; the call text printed on failure is the call
// expression itself, so it cannot drift from the code.
#define CHECK_GPU_CALL(callSite, call) \
  checkGpuCall((call), #call, QUILLMERE_FILE_LABEL, (callSite))

// Writes "CUDA error at <label>:<site> code=<status>(<name>) "<callText>" "
// to standard error, resets the device and exits with status 1.
[[noreturn]] void failGpuCall(cudaError_t status, const char *callText, const char *fileLabel,
                              int callSite);

// Returns when status is cudaSuccess; otherwise fails as failGpuCall does.
// Inline, so that a successful call inside the timed loops costs one test.
inline void checkGpuCall(cudaError_t status, const char *callText, const char *fileLabel,
                         int callSite) {
  if (status != cudaSuccess) {
    failGpuCall(status, callText, fileLabel, callSite);
  }
}

// Called by a failing check before its error line, with the call's status,
// text and site; nullptr (the default) for none.
using GpuFailureObserver = void (*)(cudaError_t status, const char *callText, int callSite);
void observeGpuFailures(GpuFailureObserver observer);

// The runtime's symbolic name for a status, e.g. "cudaErrorMemoryAllocation".
const char *gpuErrorName(cudaError_t status);

#endif
