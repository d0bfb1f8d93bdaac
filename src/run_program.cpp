#include "run_program.h"

#include <cuda_runtime_api.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "gpu/check_gpu_call.h"
#include "options.h"
#include "run_measurements.h"
#include "settings.h"
#include "usage.h"

namespace {

// Exits with status 1 when device 0 is in prohibited compute mode. A runtime
// that cannot answer the query is not taken as a refusal.
void refuseProhibitedDevice() {
  int computeMode = cudaComputeModeDefault;
  if (cudaDeviceGetAttribute(&computeMode, cudaDevAttrComputeMode, 0) != cudaSuccess) {
    return;
  }
  if (computeMode == cudaComputeModeProhibited) {
    fprintf(stderr,
            "Error: device is running in <Compute Mode Prohibited>, no threads can use "
            "::cudaSetDevice().\n");
    CHECK_GPU_CALL(79, cudaSetDevice(0));
    exit(EXIT_FAILURE);
  }
}

}  // namespace

int runProgram(int argc, const char *const *argv) {
  uint32_t memSize = kDefaultMemSize;
  int repetitions = kDefaultRepetitions;

  if (hasOption(argc, argv, "help")) {
    printUsage();
    return kRunOk;
  }

  cudaDeviceProp deviceProp = {};
  const cudaError_t propertiesStatus = cudaGetDeviceProperties(&deviceProp, 0);
  if (propertiesStatus != cudaSuccess) {
    printf("cudaGetDeviceProperties returned %d\n-> %s\n", static_cast<int>(propertiesStatus),
           cudaGetErrorString(propertiesStatus));
    CHECK_GPU_CALL(87, cudaSetDevice(0));
    exit(EXIT_FAILURE);
  }
  // Never print past the record, whatever the runtime left in it.
  deviceProp.name[sizeof(deviceProp.name) - 1] = '\0';
  printf("Device:\t%s\n", deviceProp.name);

  refuseProhibitedDevice();

  // The size is validated first: with both values bad, only the size is reported.
  const int sizeStatus = readSizeOption(argc, argv, &memSize);
  if (sizeStatus != kRunOk) {
    return sizeStatus;
  }
  const int loopsStatus = readLoopsOption(argc, argv, &repetitions);
  if (loopsStatus != kRunOk) {
    return loopsStatus;
  }

  runMeasurements(memSize, repetitions);

  // The selection after the run only closes the sequence; its status is not used.
  (void)cudaSetDevice(0);
  return kRunOk;
}
