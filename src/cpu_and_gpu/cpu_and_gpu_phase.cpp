#include "cpu_and_gpu/cpu_and_gpu_phase.h"

#include <cuda_runtime_api.h>
#include <sched.h>
#include <time.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "cpu_and_gpu/cpu_crew.h"
#include "cpu_and_gpu/host_cpus.h"
#include "gpu/check_gpu_call.h"
#include "sustained/sustained_record.h"
#include "timing/batch_copies.h"
#include "timing/timed_loop.h"

namespace {

const TimerCalls kBatchTimer = {605,   "cudaEventRecord(cpuGpuStart, 0)", 608, "cudaEventRecord(cpuGpuStop, 0)",
                                609,   "cudaEventSynchronize(cpuGpuStop)", false,
                                610,   "cudaEventElapsedTime(&batchMs, cpuGpuStart, cpuGpuStop)"};

// Host buffers are page-aligned, as the CPU copies them a page at a time.
const size_t kPageBytes = 4096;

// The crew of the phase under way, for a failed call's error line.
CpuCrew *activeCrew = nullptr;

double nowSeconds() {
  struct timespec now = {};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// What the three parts share.
struct Phase {
  const PhaseObserver *observer;
  const SampleSources *sources;
  CpuAndGpuRecord *record;
  const DataCheck *check;
  CpuCrew *crew;
  const unsigned char *reference;  // the check pattern, kCpuBufferBytes; null without a check
  cudaEvent_t cpuGpuStart;
  cudaEvent_t cpuGpuStop;
  BatchCopies batch;
  bool forward;                    // the next GPU copy goes from in to out
};

// Shows "<name> <s>/<S> s" when the whole seconds changed; *shown keeps them.
void showSeconds(const Phase &phase, const char *name, double elapsed, int *shown) {
  const int seconds = static_cast<int>(elapsed);
  if (seconds == *shown) {
    return;
  }
  *shown = seconds;
  char line[128];
  snprintf(line, sizeof line, "%s %d/%d s", name, seconds, phase.record->seconds);
  phase.observer->progressText(line);
}

// Sleeps for the CPU-alone part, a tenth of a second at most at a time;
// false when a stop signal ended it.
bool waitFor(const Phase &phase, double since) {
  int shown = -1;
  while (true) {
    const double elapsed = nowSeconds() - since;
    if (*phase.observer->stop != 0) {
      return false;
    }
    if (elapsed >= phase.record->seconds) {
      return true;
    }
    showSeconds(phase, "CPU alone", elapsed, &shown);
    const double left = phase.record->seconds - elapsed;
    const long nanoseconds = static_cast<long>((left < 0.1 ? left : 0.1) * 1e9);
    struct timespec pause = {0, nanoseconds};
    (void)nanosleep(&pause, nullptr);
  }
}

// The GPU part under way, for pastDeadline, which the timed loop calls
// after every batch.
struct Deadline {
  const Phase *phase;
  const char *name;
  double since;
  int shown;
};
Deadline deadline;
long everyBatch = 1;

// True once the part's seconds have passed since its start, or a stop was
// asked; shows the seconds on the way.
bool pastDeadline(const TimingStats & /*stats*/) {
  everyBatch = 1;
  const Phase &phase = *deadline.phase;
  const double elapsed = nowSeconds() - deadline.since;
  showSeconds(phase, deadline.name, elapsed, &deadline.shown);
  return *phase.observer->stop != 0 || elapsed >= phase.record->seconds;
}

// Runs timed batches until the part's seconds have passed since `since`;
// kTimedCompleted, kTimedBadTime, or kTimedStopped for a stop signal.
int runBatches(Phase *phase, const char *name, double since, TimingStats *stats) {
  const TimedWork work = {&kBatchTimer, phase->cpuGpuStart, phase->cpuGpuStop,
                          fewestMs(2.0 * static_cast<double>(phase->batch.copies) * phase->batch.memSize,
                                   kMostMbPerS)};
  const bool alternate = phase->check != nullptr;
  // Held here, where the compiler can keep them in registers across the copies.
  const BatchCopies batch = phase->batch;
  bool forward = phase->forward;
  const auto issue = [&batch, &forward, alternate] {
    if (alternate) {
      issueBatch<true>(batch, &forward);
    } else {
      issueBatch<false>(batch, &forward);
    }
  };
  // The console's observer, but the part's own look at the clock after every batch.
  PhaseObserver observer = *phase->observer;
  observer.repetitionTimed = pastDeadline;
  observer.countdown = &everyBatch;
  everyBatch = 1;
  deadline = {phase, name, since, -1};
  const int timed = timeRepetitions(work, LLONG_MAX, observer, issue, stats, &phase->record->badBatchMs);
  phase->forward = forward;
  if (timed == kTimedStopped && *observer.stop == 0) {
    return kTimedCompleted;
  }
  return timed;
}

// The GPU's figures of a part, from its batches.
void gpuFigures(const Phase &phase, const TimingStats &stats, CpuGpuPart *part) {
  const double bytes = static_cast<double>(stats.count) * static_cast<double>(phase.batch.copies) *
                       static_cast<double>(phase.batch.memSize);
  part->gpuSeconds = stats.sum / 1000.0;
  part->gpuMbPerS = 2.0 * bytes / stats.sum / 1000.0;
}

// The CPU's figure of a part: every byte counted, read and written.
double cpuFigure(uint64_t chunks, double seconds) {
  return 2.0 * static_cast<double>(chunks) * static_cast<double>(kCpuChunkBytes) / seconds / 1e6;
}

// After a GPU part, with a check: the buffer the newest copy wrote.
bool gpuReadsBack(const Phase &phase, const char *where) {
  const DataCheck *check = phase.check;
  if (check == nullptr) {
    return true;
  }
  // The newest copy went the other way from the next one.
  void *d_written = phase.forward ? phase.batch.in : phase.batch.out;
  unsigned char *h_check = check->h_check;
  const uint32_t memSize = phase.batch.memSize;
  CHECK_GPU_CALL(611, cudaMemcpy(h_check, d_written, memSize, cudaMemcpyDeviceToHost));
  return countReadBack(check->record, where, memSize, compareBytes(h_check, check->h_pattern, memSize));
}

// After a part the threads copied in, with a check: both buffers of each.
bool threadsHoldThePattern(const Phase &phase, const char *beside) {
  if (phase.check == nullptr) {
    return true;
  }
  for (size_t k = 0; k < phase.crew->workers.size(); k++) {
    const CpuWorker &worker = phase.crew->workers[k];
    char where[64];
    snprintf(where, sizeof where, "CPU thread %zu %s", k + 1, beside);
    for (const unsigned char *buffer : {worker.first, worker.second}) {
      if (!countReadBack(phase.check->record, where, kCpuBufferBytes,
                         compareBytes(buffer, phase.reference, kCpuBufferBytes))) {
        return false;
      }
    }
  }
  return true;
}

// Records an ended part and says so.
void recordPart(const Phase &phase, const CpuGpuPart &part) {
  phase.record->parts.push_back(part);
  phase.observer->partEnded();
}

int cpuAlone(const Phase &phase) {
  phase.observer->partBegins("CPU alone", -1, 0.0);
  releaseCrew(phase.crew);
  const double since = nowSeconds();
  const bool waited = waitFor(phase, since);
  CpuGpuPart part;
  part.name = kCpuAlone;
  if (waited) {
    part.sample = takeSample(*phase.sources);
  }
  const double until = nowSeconds();
  const uint64_t chunks = stopCrew(phase.crew);
  if (!waited) {
    return kCpuGpuStopped;
  }
  part.seconds = until - since;
  part.cpuMbPerS = cpuFigure(chunks, part.seconds);
  recordPart(phase, part);
  return threadsHoldThePattern(phase, "alone") ? kCpuGpuCompleted : kCpuGpuDataDiffers;
}

// The GPU's part, or (together) both: the batches run until the part's
// seconds have passed since its start; the threads stop after its sample.
int gpuPart(Phase *phase, bool together) {
  const char *name = together ? "Together" : "GPU alone";
  phase->observer->partBegins(name, -1, 0.0);
  if (together) {
    releaseCrew(phase->crew);
  }
  const double since = nowSeconds();
  TimingStats stats;
  const int timed = runBatches(phase, name, since, &stats);
  CpuGpuPart part;
  part.name = together ? kTogether : kGpuAlone;
  if (timed == kTimedCompleted) {
    part.sample = takeSample(*phase->sources);
  }
  const double until = nowSeconds();
  const uint64_t chunks = together ? stopCrew(phase->crew) : 0;
  if (timed != kTimedCompleted) {
    return timed == kTimedBadTime ? kCpuGpuBadTimer : kCpuGpuStopped;
  }
  part.seconds = until - since;
  gpuFigures(*phase, stats, &part);
  if (together) {
    part.cpuMbPerS = cpuFigure(chunks, part.seconds);
  }
  recordPart(*phase, part);
  if (!gpuReadsBack(*phase, together ? "GPU beside CPU" : "GPU alone")) {
    return kCpuGpuDataDiffers;
  }
  return !together || threadsHoldThePattern(*phase, "beside GPU") ? kCpuGpuCompleted : kCpuGpuDataDiffers;
}

// Page-aligned buffers for the threads, and the reference pattern with a
// check; false when one cannot be had.
bool allocateBuffers(CpuCrew *crew, bool check, unsigned char **reference) {
  for (CpuWorker &worker : crew->workers) {
    for (unsigned char **buffer : {&worker.first, &worker.second}) {
      void *memory = nullptr;
      if (posix_memalign(&memory, kPageBytes, kCpuBufferBytes) != 0) {
        return false;
      }
      *buffer = static_cast<unsigned char *>(memory);
    }
  }
  if (check) {
    void *memory = nullptr;
    if (posix_memalign(&memory, kPageBytes, kCpuBufferBytes) != 0) {
      return false;
    }
    *reference = static_cast<unsigned char *>(memory);
    fillCheckPattern(*reference, kCpuBufferBytes);
  }
  return true;
}

void freeBuffers(CpuCrew *crew, unsigned char *reference) {
  for (CpuWorker &worker : crew->workers) {
    free(worker.first);
    free(worker.second);
  }
  free(reference);
}

// The three parts in order, once the threads are ready.
int runParts(Phase *phase) {
  int status = cpuAlone(*phase);
  if (status == kCpuGpuCompleted) {
    status = gpuPart(phase, false);
  }
  if (status == kCpuGpuCompleted) {
    status = gpuPart(phase, true);
  }
  return status;
}

// The device side's events and buffers, and the threads; the parts between.
int runOnDevice(uint32_t memSize, Phase *phase) {
  cudaEvent_t cpuGpuStart = nullptr;
  cudaEvent_t cpuGpuStop = nullptr;
  CHECK_GPU_CALL(600, cudaEventCreate(&cpuGpuStart));
  CHECK_GPU_CALL(601, cudaEventCreate(&cpuGpuStop));
  void *d_cpuGpuIn = nullptr;
  void *d_cpuGpuOut = nullptr;
  CHECK_GPU_CALL(602, cudaMalloc((void **) &d_cpuGpuIn, memSize));
  CHECK_GPU_CALL(603, cudaMalloc((void **) &d_cpuGpuOut, memSize));
  if (phase->check != nullptr) {
    unsigned char *h_pattern = phase->check->h_pattern;
    fillCheckPattern(h_pattern, memSize);
    CHECK_GPU_CALL(604, cudaMemcpy(d_cpuGpuIn, h_pattern, memSize, cudaMemcpyHostToDevice));
  }
  phase->cpuGpuStart = cpuGpuStart;
  phase->cpuGpuStop = cpuGpuStop;
  phase->batch = {d_cpuGpuIn,
                  d_cpuGpuOut,
                  memSize,
                  phase->record->batchCopies,
                  606,
                  "cudaMemcpyAsync(d_cpuGpuOut, d_cpuGpuIn, memSize, cudaMemcpyDeviceToDevice, 0)",
                  607,
                  "cudaMemcpyAsync(d_cpuGpuIn, d_cpuGpuOut, memSize, cudaMemcpyDeviceToDevice, 0)"};
  phase->forward = true;

  int failed = 0;
  const int error = startCrew(phase->crew, &failed);
  int status = kCpuGpuThreadFailed;
  if (error != 0) {
    phase->record->failedThread = failed;
    phase->record->threadError = error;
  } else {
    for (const CpuWorker &worker : phase->crew->workers) {
      phase->record->cpus.push_back(worker.cpu);
    }
    status = runParts(phase);
  }
  endCrew(phase->crew);

  CHECK_GPU_CALL(612, cudaEventDestroy(cpuGpuStop));
  CHECK_GPU_CALL(613, cudaEventDestroy(cpuGpuStart));
  CHECK_GPU_CALL(614, cudaFree(d_cpuGpuIn));
  CHECK_GPU_CALL(615, cudaFree(d_cpuGpuOut));
  return status;
}

}  // namespace

void settleCpuThreads(CpuAndGpuRecord *record) {
  record->reached = true;
  record->allowedCpus = allowedCpus();
  const std::vector<int> &cpus = record->allowedCpus;
  record->threads = record->threadsAsked.known
                        ? record->threadsAsked.value
                        : defaultCpuThreads(cpus.empty() ? 1 : static_cast<int>(cpus.size()), cgroupQuotaCpus());
}

int runCpuAndGpuPhase(uint32_t memSize, const SampleSources &sources, const PhaseObserver &observer,
                      CpuAndGpuRecord *record, const DataCheck *check) {
  const std::vector<int> &cpus = record->allowedCpus;
  record->batchCopies = batchCopies(memSize);
  const uint64_t needed = static_cast<uint64_t>(record->threads) * 2 * kCpuBufferBytes;
  const uint64_t available = availableMemory();
  if (available != 0 && needed > available / 2) {
    record->availableBytes = available;
    return kCpuGpuMemoryShort;
  }

  CpuCrew crew;
  crew.cpus = cpus;
  crew.checkPattern = check != nullptr;
  crew.workers.resize(static_cast<size_t>(record->threads));
  unsigned char *reference = nullptr;
  if (!allocateBuffers(&crew, check != nullptr, &reference)) {
    freeBuffers(&crew, reference);
    return kCpuGpuNoHostMemory;
  }

  // The driving thread keeps to the first CPU while the phase runs.
  cpu_set_t saved;
  CPU_ZERO(&saved);
  const bool haveMask = sched_getaffinity(0, sizeof saved, &saved) == 0;
  if (haveMask && !cpus.empty()) {
    cpu_set_t first;
    CPU_ZERO(&first);
    CPU_SET(cpus.front(), &first);
    (void)sched_setaffinity(0, sizeof first, &first);
  }
  Phase phase = {&observer, &sources, record, check, &crew, reference, nullptr, nullptr, {}, true};
  activeCrew = &crew;
  const int status = runOnDevice(memSize, &phase);
  activeCrew = nullptr;
  if (haveMask) {
    (void)sched_setaffinity(0, sizeof saved, &saved);
  }
  freeBuffers(&crew, reference);
  return status;
}

void stopCpuCopies() {
  if (activeCrew != nullptr) {
    endCrew(activeCrew);
  }
}
