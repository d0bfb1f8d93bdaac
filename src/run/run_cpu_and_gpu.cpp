#include "run/run_cpu_and_gpu.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "console/end_run.h"
#include "console/progress.h"
#include "console/stdout_guard.h"
#include "cpu_and_gpu/cpu_and_gpu_phase.h"
#include "record/run_record.h"
#include "run/run_verify.h"
#include "sampling/gpu_clock.h"
#include "sampling/sample.h"
#include "sampling/thermal_zones.h"

namespace {

// A drop in tenths of a percent, or "unknown".
std::string dropText(const Known<double> &drop) {
  if (!drop.known) {
    return "unknown";
  }
  char text[64];
  snprintf(text, sizeof text, "%.1f %%", drop.value * 100.0);
  return text;
}

// The newest part's line, written and flushed as it ends; the drops after
// the last.
void printPart() {
  const CpuAndGpuRecord &phase = runRecord().cpuAndGpu;
  const CpuGpuPart &part = phase.parts.back();
  const CpuGpuSummary summary = summarizeCpuAndGpu(phase);
  clearProgress();
  if (part.name == kCpuAlone) {
    printf("CPU alone\t%8.1f MB/s", part.cpuMbPerS);
  } else if (part.name == kGpuAlone) {
    printf("GPU alone\t%8.1f MB/s", part.gpuMbPerS);
  } else {
    printf("Together\tCPU %.1f MB/s, GPU %.1f MB/s, both %.1f MB/s", part.cpuMbPerS, part.gpuMbPerS,
           summary.both);
  }
  printRamColumn(part.sample);
  printf("\n");
  if (part.name == kTogether) {
    printf("Drop beside each other: CPU %s, GPU %s\n", dropText(summary.cpuDrop).c_str(),
           dropText(summary.gpuDrop).c_str());
  }
  flushStandardOutput();
}

}  // namespace

int runCpuAndGpu(const DataCheck *check) {
  RunRecord &record = runRecord();
  CpuAndGpuRecord &phase = record.cpuAndGpu;
  settleCpuThreads(&phase);
  if (textReport()) {
    printf("\nCPU and GPU on one memory, %d s each, %d CPU thread%s, MB/s read and written:\n", phase.seconds,
           phase.threads, phase.threads == 1 ? "" : "s");
    flushStandardOutput();
  }
  SampleSources sources;
  sources.memoryClock = record.clock.rateSource;
  // The text report reads only what it prints: no GPU clock, no zones.
  sources.devfreqFolder = textReport() ? nullptr : kDevfreqFolder;
  sources.thermalFolder = textReport() ? nullptr : kThermalFolder;
  const int status = runCpuAndGpuPhase(record.memSize, sources, consoleObserver(printPart), &phase, check);
  clearProgress();
  char message[256];
  switch (status) {
    case kCpuGpuMemoryShort:
      snprintf(message, sizeof message, "%d CPU threads need %llu MiB, more than half of the %llu MiB available",
               phase.threads, static_cast<unsigned long long>(phase.threads) * 2 * (kCpuBufferBytes >> 20),
               static_cast<unsigned long long>(phase.availableBytes >> 20));
      reportRunError(kErrorHostMemory, message);
      return kRunMemoryShort;
    case kCpuGpuNoHostMemory: failHostAllocation();
    case kCpuGpuThreadFailed:
      snprintf(message, sizeof message, "could not start CPU thread %d of %d (%s)", phase.failedThread, phase.threads,
               strerror(phase.threadError));
      reportRunError(kErrorCpuThreads, message);
      return kRunThreadFailed;
    case kCpuGpuBadTimer:
      snprintf(message, sizeof message, "a batch of %ld copies", phase.batchCopies);
      return reportTimerFault(false, phase.badBatchMs, message);
    case kCpuGpuDataDiffers: return failDataCheck();
    case kCpuGpuStopped: return reportInterruption();
    default: return kRunOk;
  }
}
