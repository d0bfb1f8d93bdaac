#include "run/run_program.h"

#include <cuda_runtime_api.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "board/board_identity.h"
#include "board/board_software.h"
#include "board/known.h"
#include "board/memory_peak.h"
#include "command_line/settings.h"
#include "command_line/usage.h"
#include "console/end_run.h"
#include "console/progress.h"
#include "console/stop_signals.h"
#include "gpu/check_gpu_call.h"
#include "record/run_record.h"
#include "run/run_cpu_and_gpu.h"
#include "run/run_host_copies.h"
#include "run/run_measurements.h"
#include "run/run_sustained.h"
#include "run/run_sweep.h"
#include "run/run_verify.h"
#include "run/verdicts.h"
#include "run/wait_idle.h"

namespace {

// Exits with status 1 when device 0 is in prohibited compute mode. A runtime
// that cannot answer the query is not taken as a refusal.
void refuseProhibitedDevice() {
  int computeMode = cudaComputeModeDefault;
  if (cudaDeviceGetAttribute(&computeMode, cudaDevAttrComputeMode, 0) != cudaSuccess) {
    return;
  }
  if (computeMode == cudaComputeModeProhibited) {
    reportRunError(kErrorProhibited,
                   "device is running in <Compute Mode Prohibited>, no threads can use ::cudaSetDevice().");
    CHECK_GPU_CALL(79, cudaSetDevice(0));
    exit(EXIT_FAILURE);
  }
}

// A value the runtime may not give: unknown when it fails or says 0.
Known<int> attribute(cudaDeviceAttr attribute) {
  int value = 0;
  if (cudaDeviceGetAttribute(&value, attribute, 0) != cudaSuccess || value <= 0) {
    return Known<int>();
  }
  return knownAs(value);
}

// What only the machine reports hold, asked outside the measurements.
void recordRuntimeVersions() {
  RunRecord &record = runRecord();
  int version = 0;
  if (cudaRuntimeGetVersion(&version) == cudaSuccess && version != 0) {
    record.runtimeVersion = knownAs(version);
  }
  version = 0;
  if (cudaDriverGetVersion(&version) == cudaSuccess && version != 0) {
    record.driverVersion = knownAs(version);
  }
}

// The device, and for its peak the board or the memory's attributes; an
// integrated device's memory clock and bus width, as the runtime gives
// them, are not the board's memory and are not asked.
void recordDevice(const cudaDeviceProp &deviceProp) {
  RunRecord &record = runRecord();
  record.haveDevice = true;
  record.deviceName = deviceProp.name;
  record.integrated = deviceProp.integrated != 0;
  memcpy(record.uuid, deviceProp.uuid.bytes, sizeof record.uuid);
  if (!record.integrated) {
    record.busWidthBits = attribute(cudaDevAttrGlobalMemoryBusWidth);
    record.memoryClockKhz = attribute(cudaDevAttrMemoryClockRate);
  }
  record.board = readBoardIdentity(kBoardDeviceTree);
  // The text report prints neither the release nor the power mode.
  if (!textReport()) {
    record.software = readBoardSoftware(kBoardSoftwareFiles);
  }
}

// A run that ends before its measurements: the board stayed busy, or a
// signal stopped the run while it waited. The load it saw is printed.
int endWithoutMeasuring(int idle) {
  const LoadRecord &load = runRecord().load;
  if (textReport() && load.read) {
    clearProgress();
    printLoadLine(load, false);
  }
  if (idle == kWaitStopped) {
    return reportInterruption();
  }
  reportRunError(kErrorBusy, busyMessage(load));
  return kRunBusy;
}

}  // namespace

int runProgram(const CommandLine &line) {
  if (line.help) {
    printUsage();
    return kRunOk;
  }
  RunRecord &record = runRecord();
  // The text report alone reads and asks nothing beyond its own lines.
  record.boardFacts = !textReport() || line.minEfficiency.given;
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
  }
  // The L2 sets the default size, in every report.
  if (deviceProp.l2CacheSize > 0) {
    record.l2CacheBytes = knownAs(static_cast<long long>(deviceProp.l2CacheSize));
  }
  if (record.boardFacts) {
    recordDevice(deviceProp);
  }

  refuseProhibitedDevice();

  const int optionsStatus = readRunOptions(line, &record);
  if (optionsStatus != kRunOk) {
    return optionsStatus;
  }

  // From here on a signal stops the run cleanly, and a report says so.
  watchStopSignals();
  if (!textReport() || record.load.maxPercent.known) {
    const int idle = awaitIdleBoard(&record.load);
    if (idle != kBoardIdle) {
      return endWithoutMeasuring(idle);
    }
  }
  if (stopSignal != 0) {
    return endWithoutMeasuring(kWaitStopped);
  }

  DataCheck check = {};
  if (record.verify.requested) {
    check = startChecks(record.memSize, record.sustained.requested || record.cpuAndGpu.requested);
  }
  const DataCheck *checks = record.verify.requested ? &check : nullptr;
  int status = runMeasurements(checks);
  if (status == kRunOk && record.verify.differs) {
    status = failDataCheck();
  }
  if (status == kRunOk && stopSignal != 0) {
    status = reportInterruption();
  }
  if (status == kRunOk && record.sweep.requested) {
    status = runSweep();
  }
  if (status == kRunOk && record.hostCopies.requested) {
    status = runHostCopies(checks);
  }
  if (status == kRunOk && record.sustained.requested) {
    status = runSustained(checks);
  }
  if (status == kRunOk && record.cpuAndGpu.requested) {
    status = runCpuAndGpu(checks);
  }
  if (status == kRunOk && stopSignal != 0) {
    status = reportInterruption();
  }
  record.completed = true;
  if (checks != nullptr) {
    endChecks(check);
  }

  // The selection after the run only closes the sequence; its status is not used.
  (void)cudaSetDevice(0);
  if (status == kRunOk && record.verify.requested && textReport()) {
    printVerified();
  }
  noteCacheSized();
  // A phase that ended the run leaves no verdict to judge.
  return status != kRunOk ? status : judgeVerdicts();
}
