#include "sustained/sustained_phase.h"

#include <cuda_runtime_api.h>

#include <cstdio>

#include "gpu/check_gpu_call.h"
#include "timing/batch_copies.h"
#include "timing/timed_loop.h"

namespace {

const TimerCalls kBatchTimer = {304,   "cudaEventRecord(sustainedStart, 0)", 306, "cudaEventRecord(sustainedStop, 0)",
                                307,   "cudaEventSynchronize(sustainedStop)", false,
                                308,   "cudaEventElapsedTime(&batchMs, sustainedStart, sustainedStop)"};

}  // namespace

int runSustainedPhase(uint32_t memSize, const SampleSources &sources, const PhaseObserver &observer,
                      SustainedRecord *record, const DataCheck *check) {
  cudaEvent_t sustainedStart = nullptr;
  cudaEvent_t sustainedStop = nullptr;
  CHECK_GPU_CALL(300, cudaEventCreate(&sustainedStart));
  CHECK_GPU_CALL(301, cudaEventCreate(&sustainedStop));
  void *d_sustainedIn = nullptr;
  void *d_sustainedOut = nullptr;
  CHECK_GPU_CALL(302, cudaMalloc((void **) &d_sustainedIn, memSize));
  CHECK_GPU_CALL(303, cudaMalloc((void **) &d_sustainedOut, memSize));
  if (check != nullptr) {
    unsigned char *h_pattern = check->h_pattern;
    fillCheckPattern(h_pattern, memSize);
    CHECK_GPU_CALL(502, cudaMemcpy(d_sustainedIn, h_pattern, memSize, cudaMemcpyHostToDevice));
  }
  // With a check the copies go back and forth across the whole phase, so
  // that each reads what the one before it wrote and a byte corrupted by
  // any of them is carried to the end.
  const bool alternate = check != nullptr;
  bool forward = true;  // the next copy goes from the input to the output

  const long copies = record->batchCopies;
  const double batchBytes = static_cast<double>(copies) * static_cast<double>(memSize);
  const TimedWork work = {&kBatchTimer, sustainedStart, sustainedStop, fewestMs(2.0 * batchBytes, kMostMbPerS)};
  const BatchCopies batch = {d_sustainedIn,
                             d_sustainedOut,
                             memSize,
                             copies,
                             305,
                             "cudaMemcpyAsync(d_sustainedOut, d_sustainedIn, memSize, cudaMemcpyDeviceToDevice, 0)",
                             503,
                             "cudaMemcpyAsync(d_sustainedIn, d_sustainedOut, memSize, cudaMemcpyDeviceToDevice, 0)"};
  const auto issue = [&] {
    if (alternate) {
      issueBatch<true>(batch, &forward);
    } else {
      issueBatch<false>(batch, &forward);
    }
  };
  const int intervals = intervalCount(record->durationS, record->intervalS);
  int status = kSustainedCompleted;
  for (int k = 1; k <= intervals && status == kSustainedCompleted; k++) {
    // The last interval takes what is left of the duration.
    const int aimS = k < intervals ? record->intervalS : record->durationS - (intervals - 1) * record->intervalS;
    const double aimMs = 1000.0 * aimS;
    char name[64];
    snprintf(name, sizeof name, "Sustained %d/%d", k, intervals);
    observer.partBegins(name, 0, 2.0 * batchBytes);
    TimingStats stats;
    const int timed = timeUntil(work, aimMs, observer, issue, &stats, &record->badBatchMs);
    if (timed == kTimedBadTime) {
      status = kSustainedBadTimer;
      break;
    }
    status = timed == kTimedStopped ? kSustainedStopped : kSustainedCompleted;
    // An interval under way when the phase stops is dropped; one whose last
    // batch came just before the stop has ended and stands.
    const double summedMs = stats.sum;
    if (summedMs < aimMs) {
      break;
    }
    const double bytes = static_cast<double>(stats.count) * batchBytes;
    IntervalRecord interval;
    interval.endS = k < intervals ? k * record->intervalS : record->durationS;
    interval.gpuMs = summedMs;
    interval.mbPerS = bytes / summedMs / 1000.0;
    interval.totalMbPerS = 2.0 * interval.mbPerS;
    interval.sample = takeSample(sources);
    bool same = true;
    if (check != nullptr) {
      // The newest copy went the other way from the next one.
      void *d_written = forward ? d_sustainedIn : d_sustainedOut;
      unsigned char *h_check = check->h_check;
      CHECK_GPU_CALL(504, cudaMemcpy(h_check, d_written, memSize, cudaMemcpyDeviceToHost));
      char where[64];
      snprintf(where, sizeof where, "sustained Memcpy at %d s", interval.endS);
      same = countReadBack(check->record, where, memSize, compareBytes(h_check, check->h_pattern, memSize));
    }
    record->intervals.push_back(interval);
    observer.partEnded();
    if (!same) {
      status = kSustainedDataDiffers;
    }
  }

  CHECK_GPU_CALL(309, cudaEventDestroy(sustainedStop));
  CHECK_GPU_CALL(310, cudaEventDestroy(sustainedStart));
  CHECK_GPU_CALL(311, cudaFree(d_sustainedIn));
  CHECK_GPU_CALL(312, cudaFree(d_sustainedOut));
  return status;
}
