#include "sustained/sustained_phase.h"

#include <cuda_runtime_api.h>

#include <cmath>

#include "gpu/check_gpu_call.h"

namespace {

// A batch time that no memory could give, or no time at all.
bool implausible(float batchMs, double batchBytes) {
  if (!std::isfinite(batchMs) || batchMs <= 0.0f) {
    return true;
  }
  return 2.0 * batchBytes / static_cast<double>(batchMs) / 1000.0 > kMostBatchTotalMbPerS;
}

}  // namespace

int runSustainedPhase(uint32_t memSize, const SampleSources &sources, const SustainedObserver &observer,
                      SustainedRecord *record) {
  cudaEvent_t sustainedStart = nullptr;
  cudaEvent_t sustainedStop = nullptr;
  CHECK_GPU_CALL(300, cudaEventCreate(&sustainedStart));
  CHECK_GPU_CALL(301, cudaEventCreate(&sustainedStop));
  void *d_sustainedIn = nullptr;
  void *d_sustainedOut = nullptr;
  CHECK_GPU_CALL(302, cudaMalloc((void **) &d_sustainedIn, memSize));
  CHECK_GPU_CALL(303, cudaMalloc((void **) &d_sustainedOut, memSize));

  const long copies = record->batchCopies;
  const double batchBytes = static_cast<double>(copies) * static_cast<double>(memSize);
  const int intervals = intervalCount(record->durationS, record->intervalS);
  int status = kSustainedCompleted;
  for (int k = 1; k <= intervals && status == kSustainedCompleted; k++) {
    // The last interval takes what is left of the duration.
    const int aimS = k < intervals ? record->intervalS : record->durationS - (intervals - 1) * record->intervalS;
    const double aimMs = 1000.0 * aimS;
    double summedMs = 0.0;
    double bytes = 0.0;
    while (summedMs < aimMs) {
      float batchMs = 0.0f;
      CHECK_GPU_CALL(304, cudaEventRecord(sustainedStart, 0));
      for (long copy = 0; copy < copies; copy++) {
        CHECK_GPU_CALL(305, cudaMemcpyAsync(d_sustainedOut, d_sustainedIn, memSize, cudaMemcpyDeviceToDevice, 0));
      }
      CHECK_GPU_CALL(306, cudaEventRecord(sustainedStop, 0));
      CHECK_GPU_CALL(307, cudaEventSynchronize(sustainedStop));
      CHECK_GPU_CALL(308, cudaEventElapsedTime(&batchMs, sustainedStart, sustainedStop));
      if (implausible(batchMs, batchBytes)) {
        record->badBatchMs = batchMs;
        status = kSustainedBadTimer;
        break;
      }
      summedMs += static_cast<double>(batchMs);
      bytes += batchBytes;
      if (observer.batchTimed != nullptr) {
        observer.batchTimed(k, intervals, 2.0 * bytes / summedMs / 1000.0);
      }
    }
    if (status != kSustainedCompleted) {
      break;
    }
    IntervalRecord interval;
    interval.endS = k < intervals ? k * record->intervalS : record->durationS;
    interval.gpuMs = summedMs;
    interval.mbPerS = bytes / summedMs / 1000.0;
    interval.totalMbPerS = 2.0 * interval.mbPerS;
    interval.sample = takeSample(sources);
    record->intervals.push_back(interval);
    if (observer.intervalEnded != nullptr) {
      observer.intervalEnded(record->intervals.back());
    }
  }

  CHECK_GPU_CALL(309, cudaEventDestroy(sustainedStop));
  CHECK_GPU_CALL(310, cudaEventDestroy(sustainedStart));
  CHECK_GPU_CALL(311, cudaFree(d_sustainedIn));
  CHECK_GPU_CALL(312, cudaFree(d_sustainedOut));
  return status;
}
