#include "run/run_program.h"

#include <cuda_runtime_api.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "board/board_identity.h"
#include "board/board_software.h"
#include "board/known.h"
#include "board/memory_peak.h"
#include "gpu/check_gpu_call.h"
#include "run/interruption.h"
#include "run/measurements.h"
#include "run/progress.h"
#include "run/run_error.h"
#include "run/run_host_copies.h"
#include "run/run_measurements.h"
#include "run/run_record.h"
#include "run/run_sustained.h"
#include "run/run_verify.h"
#include "run/settings.h"
#include "run/usage.h"
#include "run/wait_idle.h"
#include "timing/rate.h"

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
  if (deviceProp.l2CacheSize > 0) {
    record.l2CacheBytes = knownAs(static_cast<long long>(deviceProp.l2CacheSize));
  }
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

// Fails a completed run whose Total is below minPercent of the memory's
// peak, or whose peak is unknown.
int checkEfficiency(int minPercent) {
  const RunRecord &record = runRecord();
  const Peak peak = runPeak(record);
  std::string percent;
  const int verdict = judgeEfficiency(record.copy.figure, peak, minPercent, &percent);
  if (verdict == kEfficiencyMet) {
    return kRunOk;
  }
  if (verdict == kEfficiencyUnknownPeak) {
    const char *message =
        "the memory's peak is unknown (no memory clock or bus width), so --min-efficiency cannot be checked";
    fprintf(stderr, "Error: %s\n", message);
    recordError(kErrorUnknownPeak, message);
    return kRunBelowMinimum;
  }
  const std::string message = "Memcpy total " + printedFigure(record.copy.figure) + " MB/s is " + percent +
                              " % of the memory's peak of " + printedFigure(peak.megabytesPerSecond) +
                              " MB/s, below the expected minimum of " + std::to_string(minPercent) + " %";
  fprintf(stderr, "Error: %s\n", message.c_str());
  recordError(kErrorBelowEfficiency, message);
  return kRunBelowMinimum;
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
    check = startChecks(record.memSize, record.sustained.requested);
  }
  const DataCheck *checks = record.verify.requested ? &check : nullptr;
  runMeasurements(record.memSize, record.repetitions, checks);
  int phaseStatus = record.verify.differs ? failDataCheck(record.memSize) : kRunOk;
  if (phaseStatus == kRunOk && stopSignal != 0) {
    phaseStatus = reportInterruption();
  }
  if (phaseStatus == kRunOk && record.hostCopies.requested) {
    phaseStatus = runHostCopies(record.memSize, checks);
  }
  if (phaseStatus == kRunOk && record.sustained.requested) {
    phaseStatus = runSustained(record.memSize, checks);
  }
  if (phaseStatus == kRunOk && stopSignal != 0) {
    phaseStatus = reportInterruption();
  }
  record.completed = true;
  if (checks != nullptr) {
    endChecks(check);
  }

  // The selection after the run only closes the sequence; its status is not used.
  (void)cudaSetDevice(0);
  // A read-back that differed ends the run before any verdict.
  if (phaseStatus != kRunOk) {
    return phaseStatus;
  }
  if (record.verify.requested && textReport()) {
    printVerified();
  }
  // The first check that fails is the only one reported.
  int status = record.minTotal.known ? checkMinimum(record.minTotal.value) : kRunOk;
  if (status == kRunOk && record.minEfficiency.known) {
    status = checkEfficiency(record.minEfficiency.value);
  }
  if (status == kRunOk && record.sustained.maxDropPercent.known) {
    status = checkDrop(record.sustained.maxDropPercent.value);
  }
  return status;
}
