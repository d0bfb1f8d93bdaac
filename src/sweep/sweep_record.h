#ifndef QUILLMERE_SWEEP_SWEEP_RECORD_H
#define QUILLMERE_SWEEP_SWEEP_RECORD_H

#include <cstdint>
#include <vector>

#include "timing/timing_stats.h"

// Repetitions at each size of the sweep without a "sweep-loops" option.
const int kDefaultSweepRepetitions = 100;

// One size of the sweep, once all its repetitions ran.
struct SweepSize {
  uint32_t sizeMiB = 0;
  float totalMbPerS = 0.0f;  // each byte read and written, from the best repetition
  TimingStats stats;
};

// The sweep as asked and as it went.
struct SweepRecord {
  bool requested = false;         // --sweep, with --sweep-loops, was accepted
  int repetitions = kDefaultSweepRepetitions;
  std::vector<uint32_t> planMiB;  // the sizes to measure, set as the sweep begins
  std::vector<SweepSize> sizes;   // those measured, in order
  float badMs = 0.0f;             // the time that ended the sweep, if one did
};

// The sweep's sizes in MiB: the powers of two from 1 up to the larger of
// the transfer size and 4 x the L2 (l2Bytes, 0 or less unknown), rounded up
// to a power of two, 2048 at most.
std::vector<uint32_t> sweepSizes(uint32_t memSizeMiB, long long l2Bytes);

// The plateau in MiB: the smallest size whose Total and every larger size's,
// as printed, are within 10 % of the largest size's. 0 until every size of
// the plan was measured.
uint32_t sweepPlateauMiB(const SweepRecord &record);

#endif
