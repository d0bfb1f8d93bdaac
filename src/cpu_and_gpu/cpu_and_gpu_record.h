#ifndef QUILLMERE_CPU_AND_GPU_CPU_AND_GPU_RECORD_H
#define QUILLMERE_CPU_AND_GPU_CPU_AND_GPU_RECORD_H

#include <cstdint>
#include <string>
#include <vector>

#include "board/known.h"
#include "sampling/sample.h"

// Seconds of each part without a "cpu-seconds" option.
const int kDefaultCpuSeconds = 10;
// The most CPU threads, asked or by default.
const int kMostCpuThreads = 1024;
// Each CPU thread's two buffers, and the chunk it copies at a time.
const uint64_t kCpuBufferBytes = 32u << 20;
const uint64_t kCpuChunkBytes = 1u << 20;

// The phase's three parts, in their order.
enum CpuGpuPartName { kCpuAlone, kGpuAlone, kTogether };

// One part, once it has ended.
struct CpuGpuPart {
  int name = kCpuAlone;
  double seconds = 0.0;     // its host time
  double cpuMbPerS = 0.0;   // read and written; not in kGpuAlone
  double gpuMbPerS = 0.0;   // likewise; not in kCpuAlone
  double gpuSeconds = 0.0;  // the batches' summed GPU time
  Sample sample;            // read at its end, before the stop
};

// The CPU and GPU copies as asked and as they went.
struct CpuAndGpuRecord {
  bool requested = false;          // --cpu-copies, with its options, was accepted
  int seconds = kDefaultCpuSeconds;
  Known<int> threadsAsked;         // --cpu-threads
  bool reached = false;            // the phase began: threads is set
  int threads = 0;                 // in force
  std::vector<int> allowedCpus;    // the affinity mask's CPUs as the phase began, ascending
  std::vector<int> cpus;           // each thread's CPU, -1 where it could not be pinned
  long batchCopies = 0;
  std::vector<CpuGpuPart> parts;   // those that ended, in order
  float badBatchMs = 0.0f;         // the batch time that ended the phase, if one did
  int failedThread = 0;            // the thread that could not start, from 1
  int threadError = 0;             // and why (an errno value)
  uint64_t availableBytes = 0;     // MemAvailable, when the buffers did not fit half of it
};

// "cpu_alone", "gpu_alone", "together".
const char *cpuGpuPartName(int name);

// The phase's verdicts on its parts, from the figures as printed ("%.1f").
struct CpuGpuSummary {
  bool ended = false;        // all three parts ended
  Known<double> cpuDrop;     // 1 - together / alone; unknown when alone prints as 0.0
  Known<double> gpuDrop;
  double both = 0.0;         // the CPU's and the GPU's printed figures in part 3, added
};

CpuGpuSummary summarizeCpuAndGpu(const CpuAndGpuRecord &record);

// The CPU threads without --cpu-threads: the CPUs the process may run on,
// bounded by its cgroup's quota in CPUs (0: none), less one; at least 1,
// at most kMostCpuThreads.
int defaultCpuThreads(int cpusInMask, int quotaCpus);

// A cgroup quota in whole CPUs, rounded up: the v2 cpu.max text ("max
// 100000" is none), or the v1 quota and period texts (a quota of -1 is
// none). 0 for none or text that does not read.
int quotaCpusFromMax(const char *cpuMax);
int quotaCpusFromCfs(const char *quotaText, const char *periodText);

// The bytes of "MemAvailable:" in /proc/meminfo's text; 0 when absent.
uint64_t memAvailableBytes(const char *meminfo);

#endif
