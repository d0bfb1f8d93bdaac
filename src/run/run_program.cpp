#include "run/run_program.h"

#include <cuda_runtime_api.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "gpu/check_gpu_call.h"
#include "run/measurements.h"
#include "run/options.h"
#include "run/run_measurements.h"
#include "run/run_record.h"
#include "run/settings.h"
#include "run/usage.h"

namespace {

// Exits with status 1 when device 0 is in prohibited compute mode. A runtime
// that cannot answer the query is not taken as a refusal.
void refuseProhibitedDevice() {
  int computeMode = cudaComputeModeDefault;
  if (cudaDeviceGetAttribute(&computeMode, cudaDevAttrComputeMode, 0) != cudaSuccess) {
    return;
  }
  if (computeMode == cudaComputeModeProhibited) {
    const char *message =
        "device is running in <Compute Mode Prohibited>, no threads can use ::cudaSetDevice().";
    fprintf(stderr, "Error: %s\n", message);
    recordError(kErrorProhibited, message);
    CHECK_GPU_CALL(79, cudaSetDevice(0));
    exit(EXIT_FAILURE);
  }
}

// A value the runtime may not give: 0 when it fails.
int attributeOrZero(cudaDeviceAttr attribute) {
  int value = 0;
  return cudaDeviceGetAttribute(&value, attribute, 0) == cudaSuccess ? value : 0;
}

// What only the machine reports hold, asked outside the measurements.
void recordRuntimeVersions() {
  RunRecord &record = runRecord();
  if (cudaRuntimeGetVersion(&record.runtimeVersion) != cudaSuccess) {
    record.runtimeVersion = 0;
  }
  if (cudaDriverGetVersion(&record.driverVersion) != cudaSuccess) {
    record.driverVersion = 0;
  }
}

void recordDevice(const cudaDeviceProp &deviceProp) {
  RunRecord &record = runRecord();
  record.haveDevice = true;
  record.deviceName = deviceProp.name;
  memcpy(record.uuid, deviceProp.uuid.bytes, sizeof record.uuid);
  record.busWidthBits = attributeOrZero(cudaDevAttrGlobalMemoryBusWidth);
  record.memoryClockKhz = attributeOrZero(cudaDevAttrMemoryClockRate);
}

// Fails a completed run whose Total, as printed, is below minTotal or is
// not a number at all.
int checkMinimum(long long minTotal) {
  const double total = runRecord().copy.figure;
  const std::string printed = printedFigure(total);
  if (std::isfinite(total) && strtod(printed.c_str(), nullptr) >= static_cast<double>(minTotal)) {
    return kRunOk;
  }
  const std::string message = "Memcpy total " + printed + " MB/s is below the expected minimum of " +
                              std::to_string(minTotal) + " MB/s";
  fprintf(stderr, "Error: %s\n", message.c_str());
  recordError(kErrorBelowMinimum, message);
  return kRunBelowMinimum;
}

}  // namespace

int runProgram(int argc, const char *const *argv) {
  uint32_t memSize = kDefaultMemSize;
  int repetitions = kDefaultRepetitions;
  long long minTotal = 0;

  if (hasOption(argc, argv, "help")) {
    printUsage();
    return kRunOk;
  }
  if (!textReport()) {
    recordRuntimeVersions();
  }

  cudaDeviceProp deviceProp = {};
  const cudaError_t propertiesStatus = cudaGetDeviceProperties(&deviceProp, 0);
  if (propertiesStatus != cudaSuccess) {
    if (textReport()) {
      printf("cudaGetDeviceProperties returned %d\n-> %s\n", static_cast<int>(propertiesStatus),
             cudaGetErrorString(propertiesStatus));
    } else {
      recordCudaError(kErrorProperties, propertiesStatus, cudaGetErrorString(propertiesStatus),
                      gpuErrorName(propertiesStatus), nullptr, 0);
    }
    CHECK_GPU_CALL(87, cudaSetDevice(0));
    exit(EXIT_FAILURE);
  }
  // Never print past the record, whatever the runtime left in it.
  deviceProp.name[sizeof(deviceProp.name) - 1] = '\0';
  if (textReport()) {
    printf("Device:\t%s\n", deviceProp.name);
  } else {
    recordDevice(deviceProp);
  }

  refuseProhibitedDevice();

  // The size is validated first: with both values bad, only the size is reported.
  RunRecord &record = runRecord();
  const int sizeStatus = readSizeOption(argc, argv, &memSize);
  if (sizeStatus != kRunOk) {
    return sizeStatus;
  }
  record.haveMemSize = true;
  record.memSize = memSize;
  const int loopsStatus = readLoopsOption(argc, argv, &repetitions);
  if (loopsStatus != kRunOk) {
    return loopsStatus;
  }
  record.haveRepetitions = true;
  record.repetitions = repetitions;
  const int minTotalStatus = readMinTotalOption(argc, argv, &minTotal);
  if (minTotalStatus != kRunOk) {
    return minTotalStatus;
  }
  record.minTotal = minTotal;
  const int formatStatus = checkReportFormats(argc, argv);
  if (formatStatus != kRunOk) {
    return formatStatus;
  }

  runMeasurements(memSize, repetitions);
  record.completed = true;

  // The selection after the run only closes the sequence; its status is not used.
  (void)cudaSetDevice(0);
  return minTotal != 0 ? checkMinimum(minTotal) : kRunOk;
}
