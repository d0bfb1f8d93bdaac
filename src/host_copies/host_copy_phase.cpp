#include "host_copies/host_copy_phase.h"

#include <cuda_runtime_api.h>
#include <time.h>

#include <cstdlib>
#include <cstring>

#include "data/staging.h"
#include "gpu/check_gpu_call.h"
#include "timing/rate.h"
#include "timing/timed_loop.h"

namespace {

// Host buffers are page-aligned, as the runtime registers whole pages.
const size_t kPageBytes = 4096;

// What every copy of the phase shares.
struct Phase {
  uint32_t memSize;
  cudaEvent_t hostStart;
  cudaEvent_t hostStop;
  void *d_hostCopy;
  const PhaseObserver *observer;
  HostCopiesRecord *record;
  VerifyRecord *verify;               // null without --verify
  const unsigned char *stagingBlock;  // the staging pattern's first kCompareBlock bytes
  double fewestMs;                    // the shortest time a copy can take
};

// An attribute of device 0 as a flag; unknown when the runtime cannot say.
Known<bool> deviceFlag(cudaDeviceAttr attribute) {
  int value = 0;
  if (cudaDeviceGetAttribute(&value, attribute, 0) != cudaSuccess) {
    return Known<bool>();
  }
  return knownAs(value != 0);
}

// Milliseconds from one reading of the monotonic clock to another.
float millisecondsBetween(const struct timespec &from, const struct timespec &to) {
  const double seconds = static_cast<double>(to.tv_sec - from.tv_sec);
  const double nanoseconds = static_cast<double>(to.tv_nsec - from.tv_nsec);
  return static_cast<float>(seconds * 1e3 + nanoseconds / 1e6);
}

const TimerCalls kHostCopyTimer = {
    404, "cudaEventRecord(hostStart, 0)", 406, "cudaEventRecord(hostStop, 0)", 407, "cudaEventSynchronize(hostStop)",
    false, 408, "cudaEventElapsedTime(&copyMs, hostStart, hostStop)"};

// The status of a copy whose timing ended so, the bad time kept.
int copyStatus(const Phase &phase, int timed, float badMs, bool hostClock) {
  if (timed == kTimedBadTime) {
    phase.record->badMs = badMs;
    phase.record->badTimeFromHostClock = hostClock;
    return kHostCopiesBadTimer;
  }
  return timed == kTimedStopped ? kHostCopiesStopped : kHostCopiesCompleted;
}

// Times every repetition of one copy with the GPU's events.
int timeWithEvents(const Phase &phase, void *dst, const void *src, cudaMemcpyKind kind, HostCopyRecord *copy) {
  const uint32_t memSize = phase.memSize;
  const TimedWork work = {&kHostCopyTimer, phase.hostStart, phase.hostStop, phase.fewestMs};
  float badMs = 0.0f;
  const int timed =
      timeRepetitions(work, phase.record->repetitions, *phase.observer,
                      [=] { CHECK_GPU_CALL(405, cudaMemcpyAsync(dst, src, memSize, kind, 0)); }, &copy->stats, &badMs);
  return copyStatus(phase, timed, badMs, false);
}

// Times every repetition of one copy with the host's clock: a copy from
// pageable memory may return before its transfer ends, and the GPU's
// events would not see the driver's staging through pinned memory. Ends
// early as timeWithEvents does, by the same judge.
int timeWithHostClock(const Phase &phase, void *dst, const void *src, cudaMemcpyKind kind, HostCopyRecord *copy) {
  const uint32_t memSize = phase.memSize;
  const int repetitions = phase.record->repetitions;
  for (int i = 0; i < repetitions; i++) {
    struct timespec begin = {};
    struct timespec end = {};
    clock_gettime(CLOCK_MONOTONIC, &begin);
    CHECK_GPU_CALL(410, cudaMemcpy(dst, src, memSize, kind));
    CHECK_GPU_CALL(411, cudaDeviceSynchronize());
    clock_gettime(CLOCK_MONOTONIC, &end);
    const float copyMs = millisecondsBetween(begin, end);
    if (implausibleTime(copyMs, phase.fewestMs)) {
      return copyStatus(phase, kTimedBadTime, copyMs, true);
    }
    addTime(&copy->stats, copyMs);
    if (repetitionDone(*phase.observer, copy->stats)) {
      return kHostCopiesStopped;
    }
  }
  return kHostCopiesCompleted;
}

// Measures one direction of one kind of memory and records it once all its
// repetitions ran.
int measureCopy(const Phase &phase, int direction, int memory, unsigned char *h_buffer) {
  HostCopyRecord copy;
  copy.direction = direction;
  copy.memory = memory;
  copy.supported = true;
  copy.gpuTimed = memory != kPageableMemory;
  phase.observer->partBegins(hostCopyName(direction, memory), phase.record->repetitions,
                             static_cast<double>(phase.memSize));
  void *dst = direction == kHostToDevice ? phase.d_hostCopy : static_cast<void *>(h_buffer);
  const void *src = direction == kHostToDevice ? static_cast<const void *>(h_buffer) : phase.d_hostCopy;
  const cudaMemcpyKind kind = direction == kHostToDevice ? cudaMemcpyHostToDevice : cudaMemcpyDeviceToHost;
  const int status = copy.gpuTimed ? timeWithEvents(phase, dst, src, kind, &copy)
                                   : timeWithHostClock(phase, dst, src, kind, &copy);
  // A stop after the last repetition still leaves a complete copy.
  if (status == kHostCopiesBadTimer || copy.stats.count < phase.record->repetitions) {
    return status;
  }
  copy.figure = megabytesPerSecond(static_cast<double>(phase.memSize), copy.stats.shortest);
  phase.record->copies.push_back(copy);
  phase.observer->partEnded();
  return status;
}

// Both directions of one kind of memory, the buffer filled first. With a
// check, the buffer is cleared before it comes back from the device, so
// that what is checked is what the copies brought.
int measureBothWays(const Phase &phase, int memory, unsigned char *h_buffer) {
  fillStagingBuffer(h_buffer, phase.memSize);
  int status = measureCopy(phase, kHostToDevice, memory, h_buffer);
  if (status != kHostCopiesCompleted) {
    return status;
  }
  if (phase.verify != nullptr) {
    memset(h_buffer, 0, phase.memSize);
  }
  status = measureCopy(phase, kDeviceToHost, memory, h_buffer);
  if (status != kHostCopiesCompleted) {
    return status;
  }
  if (phase.verify != nullptr &&
      !countReadBack(phase.verify, hostCopyName(kDeviceToHost, memory), phase.memSize,
                     compareRepeating(h_buffer, phase.stagingBlock, phase.memSize))) {
    return kHostCopiesDataDiffers;
  }
  return kHostCopiesCompleted;
}

// Both directions recorded as not supported by the device.
void recordNotSupported(const Phase &phase, int memory) {
  for (const int direction : {kHostToDevice, kDeviceToHost}) {
    HostCopyRecord copy;
    copy.direction = direction;
    copy.memory = memory;
    phase.record->copies.push_back(copy);
    phase.observer->partEnded();
  }
}

// A page-aligned buffer from the C library, or nullptr.
unsigned char *pageAlignedBuffer(uint32_t memSize) {
  void *buffer = nullptr;
  return posix_memalign(&buffer, kPageBytes, memSize) == 0 ? static_cast<unsigned char *>(buffer) : nullptr;
}

int measurePinned(const Phase &phase) {
  const uint32_t memSize = phase.memSize;
  unsigned char *h_pinned = nullptr;
  CHECK_GPU_CALL(403, cudaMallocHost((void **) &h_pinned, memSize));
  const int status = measureBothWays(phase, kPinnedMemory, h_pinned);
  CHECK_GPU_CALL(409, cudaFreeHost(h_pinned));
  return status;
}

int measurePageable(const Phase &phase) {
  unsigned char *h_pageable = pageAlignedBuffer(phase.memSize);
  if (h_pageable == nullptr) {
    return kHostCopiesNoHostMemory;
  }
  const int status = measureBothWays(phase, kPageableMemory, h_pageable);
  free(h_pageable);
  return status;
}

int measureRegistered(const Phase &phase) {
  const Known<bool> &supported = phase.record->hostRegisterSupported;
  if (supported.known && !supported.value) {
    recordNotSupported(phase, kRegisteredMemory);
    return kHostCopiesCompleted;
  }
  const uint32_t memSize = phase.memSize;
  unsigned char *h_registered = pageAlignedBuffer(memSize);
  if (h_registered == nullptr) {
    return kHostCopiesNoHostMemory;
  }
  const cudaError_t registration = cudaHostRegister(h_registered, memSize, cudaHostRegisterDefault);
  if (registration == cudaErrorNotSupported) {
    // Reading the status clears it, so no later call sees it.
    (void)cudaGetLastError();
    free(h_registered);
    recordNotSupported(phase, kRegisteredMemory);
    return kHostCopiesCompleted;
  }
  // Checked apart from the call, whose one refusal is not a failure: the
  // text is the call's.
  checkGpuCall(registration, "cudaHostRegister(h_registered, memSize, cudaHostRegisterDefault)",
               QUILLMERE_FILE_LABEL, 412);
  const int status = measureBothWays(phase, kRegisteredMemory, h_registered);
  CHECK_GPU_CALL(413, cudaHostUnregister(h_registered));
  free(h_registered);
  return status;
}

}  // namespace

int runHostCopyPhase(uint32_t memSize, const PhaseObserver &observer, HostCopiesRecord *record,
                     VerifyRecord *verify) {
  record->reached = true;
  record->integrated = deviceFlag(cudaDevAttrIntegrated);
  record->canMapHostMemory = deviceFlag(cudaDevAttrCanMapHostMemory);
  record->pageableMemoryAccess = deviceFlag(cudaDevAttrPageableMemoryAccess);
  record->hostRegisterSupported = deviceFlag(cudaDevAttrHostRegisterSupported);

  cudaEvent_t hostStart = nullptr;
  cudaEvent_t hostStop = nullptr;
  void *d_hostCopy = nullptr;
  CHECK_GPU_CALL(400, cudaEventCreate(&hostStart));
  CHECK_GPU_CALL(401, cudaEventCreate(&hostStop));
  CHECK_GPU_CALL(402, cudaMalloc((void **) &d_hostCopy, memSize));

  unsigned char stagingBlock[kCompareBlock];
  fillStagingBuffer(stagingBlock, kCompareBlock);
  const Phase phase = {memSize,    hostStart,    hostStop,
                       d_hostCopy, &observer,    record,
                       verify,     stagingBlock, fewestMs(static_cast<double>(memSize), kMostMbPerS)};
  int status = measurePinned(phase);
  if (status == kHostCopiesCompleted) {
    status = measurePageable(phase);
  }
  if (status == kHostCopiesCompleted) {
    status = measureRegistered(phase);
  }

  CHECK_GPU_CALL(414, cudaEventDestroy(hostStop));
  CHECK_GPU_CALL(415, cudaEventDestroy(hostStart));
  CHECK_GPU_CALL(416, cudaFree(d_hostCopy));
  return status;
}
