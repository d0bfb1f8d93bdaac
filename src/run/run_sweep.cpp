#include "run/run_sweep.h"

#include <cstdio>

#include "console/end_run.h"
#include "console/progress.h"
#include "console/stdout_guard.h"
#include "record/run_record.h"
#include "sweep/sweep_phase.h"

namespace {

// The newest size's line, written and flushed as it ends.
void printSize() {
  const SweepSize &size = runRecord().sweep.sizes.back();
  clearProgress();
  printf("%6u MiB\t%10.1f MB/s\n", size.sizeMiB, static_cast<double>(size.totalMbPerS));
  flushStandardOutput();
}

// Where the cache stops helping, of a sweep that measured every size.
void printPlateau(const SweepRecord &sweep) {
  const uint32_t plateau = sweepPlateauMiB(sweep);
  const uint32_t largest = sweep.planMiB.back();
  if (plateau == 1) {
    printf("No cache effect from 1 MiB on: every Total is within 10 %% of %u MiB's\n", largest);
  } else if (plateau == largest) {
    printf("No plateau up to %u MiB: the Totals still change by more than 10 %%\n", largest);
  } else {
    printf("From %u MiB on the Total stays within 10 %% of %u MiB's: use --size=%u or more\n", plateau, largest,
           plateau);
  }
  flushStandardOutput();
}

}  // namespace

int runSweep() {
  RunRecord &record = runRecord();
  SweepRecord &sweep = record.sweep;
  sweep.planMiB = sweepSizes(record.memSize >> 20, record.l2CacheBytes.known ? record.l2CacheBytes.value : 0);
  if (textReport()) {
    printf("\nMemcpy by size, best of %d, Total:\n", sweep.repetitions);
    flushStandardOutput();
  }
  const int status = runSweepPhase(consoleObserver(printSize), &sweep);
  clearProgress();
  if (status == kSweepBadTimer) {
    return reportTimerFault(false, sweep.badMs, "a sweep repetition");
  }
  if (status == kSweepStopped) {
    return reportInterruption();
  }
  if (textReport()) {
    printPlateau(sweep);
  }
  return kRunOk;
}
