#ifndef QUILLMERE_SUSTAINED_SUSTAINED_RECORD_H
#define QUILLMERE_SUSTAINED_SUSTAINED_RECORD_H

#include <cstdint>
#include <vector>

#include "board/known.h"
#include "sampling/sample.h"

// Copies in one batch: 1 GiB one way, ceil(1024 / size in MiB).
long batchCopies(uint32_t memSize);

// Intervals in a phase of durationS seconds: ceil(durationS / intervalS).
int intervalCount(int durationS, int intervalS);

// One interval of the sustained copy, once it has ended.
struct IntervalRecord {
  int endS = 0;              // min(k x interval, duration)
  double gpuMs = 0.0;        // its batches' summed times
  double mbPerS = 0.0;       // bytes copied one way over gpuMs
  double totalMbPerS = 0.0;  // twice that: each byte read and written
  Sample sample;             // read after its last batch
};

// The sustained phase as asked and as it went.
struct SustainedRecord {
  bool requested = false;  // --duration, with its companions, was accepted
  int durationS = 0;
  int intervalS = 0;       // in force: never more than the duration
  long batchCopies = 0;
  Known<int> maxDropPercent;
  std::vector<IntervalRecord> intervals;  // those that ended, in order
  float badBatchMs = 0.0f;                // the batch time that ended the phase, if one did
};

// The phase's lowest and highest Totals as printed ("%.1f") and its drop,
// 1 - lowest / highest, with the drop in thousandths as "%.3f" prints it.
struct SustainedSummary {
  bool known = false;  // false until an interval has ended
  double lowest = 0.0;
  double highest = 0.0;
  double drop = 0.0;
  uint64_t dropThousandths = 0;
};

SustainedSummary summarizeSustained(const SustainedRecord &record);

// True when a completed phase fell further than maxPercent below its highest.
bool dropTooLarge(const SustainedSummary &summary, int maxPercent);

#endif
