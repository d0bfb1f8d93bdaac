#include "sweep/sweep_phase.h"

#include <cuda_runtime_api.h>

#include <cstdio>

#include "gpu/check_gpu_call.h"
#include "timing/rate.h"
#include "timing/timed_loop.h"

namespace {

const TimerCalls kSweepTimer = {704, "cudaEventRecord(sweepStart, 0)", 706, "cudaEventRecord(sweepStop, 0)",
                                707, "cudaDeviceSynchronize()",         true,
                                708, "cudaEventElapsedTime(&sweepMs, sweepStart, sweepStop)"};

// Measures one size; kTimedCompleted once all its repetitions ran.
int measureSize(cudaEvent_t sweepStart, cudaEvent_t sweepStop, uint32_t sizeMiB, const PhaseObserver &observer,
                SweepRecord *record) {
  const size_t sweepBytes = static_cast<size_t>(sizeMiB) << 20;
  void *d_sweepIn = nullptr;
  void *d_sweepOut = nullptr;
  CHECK_GPU_CALL(702, cudaMalloc((void **) &d_sweepIn, sweepBytes));
  CHECK_GPU_CALL(703, cudaMalloc((void **) &d_sweepOut, sweepBytes));
  const double bytes = 2.0 * static_cast<double>(sweepBytes);
  char name[64];
  snprintf(name, sizeof name, "Sweep %u MiB", sizeMiB);
  observer.partBegins(name, record->repetitions, bytes);
  SweepSize size;
  size.sizeMiB = sizeMiB;
  const TimedWork work = {&kSweepTimer, sweepStart, sweepStop, fewestMs(bytes, kMostMbPerS)};
  int timed = timeRepetitions(
      work, record->repetitions, observer,
      [=] { CHECK_GPU_CALL(705, cudaMemcpy(d_sweepOut, d_sweepIn, sweepBytes, cudaMemcpyDeviceToDevice)); },
      &size.stats, &record->badMs);
  CHECK_GPU_CALL(709, cudaFree(d_sweepIn));
  CHECK_GPU_CALL(710, cudaFree(d_sweepOut));
  // A stop after the last repetition still leaves the size complete.
  if (timed != kTimedBadTime && size.stats.count == record->repetitions) {
    size.totalMbPerS = megabytesPerSecond(bytes, size.stats.shortest);
    record->sizes.push_back(size);
    observer.partEnded();
  }
  return timed;
}

}  // namespace

int runSweepPhase(const PhaseObserver &observer, SweepRecord *record) {
  cudaEvent_t sweepStart = nullptr;
  cudaEvent_t sweepStop = nullptr;
  CHECK_GPU_CALL(700, cudaEventCreate(&sweepStart));
  CHECK_GPU_CALL(701, cudaEventCreate(&sweepStop));
  int status = kSweepCompleted;
  for (const uint32_t sizeMiB : record->planMiB) {
    const int timed = measureSize(sweepStart, sweepStop, sizeMiB, observer, record);
    if (timed != kTimedCompleted) {
      status = timed == kTimedBadTime ? kSweepBadTimer : kSweepStopped;
      break;
    }
  }
  CHECK_GPU_CALL(711, cudaEventDestroy(sweepStop));
  CHECK_GPU_CALL(712, cudaEventDestroy(sweepStart));
  return status;
}
