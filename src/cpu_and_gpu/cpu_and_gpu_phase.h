#ifndef QUILLMERE_CPU_AND_GPU_CPU_AND_GPU_PHASE_H
#define QUILLMERE_CPU_AND_GPU_CPU_AND_GPU_PHASE_H

#include <cstdint>

#include "cpu_and_gpu/cpu_and_gpu_record.h"
#include "data/verify.h"
#include "sampling/sample.h"
#include "timing/phase_observer.h"

// How the phase ended.
enum CpuGpuStatus {
  kCpuGpuCompleted,
  kCpuGpuBadTimer,
  kCpuGpuStopped,
  kCpuGpuDataDiffers,
  kCpuGpuNoHostMemory,
  kCpuGpuMemoryShort,
  kCpuGpuThreadFailed,
};

// Reads the CPUs the process may run on into the record and sets its
// threads in force: --cpu-threads, or those CPUs, bounded by the cgroup's
// quota, less one.
void settleCpuThreads(CpuAndGpuRecord *record);

// Copies on the CPU and the GPU, each alone and then both at once, for
// record->seconds each by the host's monotonic clock, and appends each part
// that ends to record->parts, sampled from sources at its end.
// The CPU side is record->threads threads (settleCpuThreads first), each
// pinned to a CPU of the affinity mask and copying 1 MiB chunks between
// two page-aligned buffers of 32 MiB of its own; the driving thread is pinned
// to the first CPU for the phase. The GPU side copies memSize bytes between
// two device buffers in batches of record->batchCopies copies, timed by the
// one timed loop. Returns kCpuGpuMemoryShort, before any thread starts, when
// the threads' buffers would take more than half of MemAvailable
// (record->availableBytes); kCpuGpuNoHostMemory when a buffer cannot be
// allocated; kCpuGpuThreadFailed, with record->failedThread and
// threadError, when a thread cannot start; kCpuGpuBadTimer, with
// record->badBatchMs, for a batch time no memory could give; kCpuGpuStopped
// when the observer stops it (the part under way is dropped). With a check,
// the GPU copies go back and forth on the check pattern and its newest
// buffer is read back after each GPU part, and the threads' buffers hold
// the check pattern and are compared with it after each part they copied
// in, the GPU first: kCpuGpuDataDiffers at the first difference. Every
// runtime call is checked. The threads are stopped and joined, the driving
// thread's mask given back, and every buffer and event released, whichever
// way the phase ends.
int runCpuAndGpuPhase(uint32_t memSize, const SampleSources &sources, const PhaseObserver &observer,
                      CpuAndGpuRecord *record, const DataCheck *check);

// Stops and joins the threads of a phase under way, if any: for a failed
// runtime call, whose error line ends the process.
void stopCpuCopies();

#endif
