#include "gpu/check_gpu_call.h"

#include <cstdio>
#include <cstdlib>

namespace {

GpuFailureObserver failureObserver = nullptr;

}  // namespace

void observeGpuFailures(GpuFailureObserver observer) {
  failureObserver = observer;
}

const char *gpuErrorName(cudaError_t status) {
  return cudaGetErrorName(status);
}

void failGpuCall(cudaError_t status, const char *callText, const char *fileLabel, int callSite) {
  if (failureObserver != nullptr) {
    failureObserver(status, callText, callSite);
  }
  fprintf(stderr, "CUDA error at %s:%d code=%d(%s) \"%s\" \n", fileLabel, callSite,
          static_cast<int>(status), gpuErrorName(status), callText);
  // Whatever the reset returns, the line is out and the run has failed.
  (void)cudaDeviceReset();
  exit(EXIT_FAILURE);
}
