#include "run/run_sustained.h"

#include <cstdio>
#include <string>

#include "board/decimal.h"
#include "console/stop_signals.h"
#include "console/progress.h"
#include "console/end_run.h"
#include "record/run_record.h"
#include "run/run_verify.h"
#include "console/stdout_guard.h"
#include "sampling/gpu_clock.h"
#include "sampling/sample.h"
#include "sampling/thermal_zones.h"
#include "sustained/sustained_phase.h"

namespace {

// The newest interval's line, written and flushed as it ends.
void printInterval() {
  const IntervalRecord &interval = runRecord().sustained.intervals.back();
  clearProgress();
  printf("%d s\tMemcpy\t%7.1f MB/s (Total: %.1f MB/s)", interval.endS, interval.mbPerS, interval.totalMbPerS);
  const Sample &sample = interval.sample;
  printRamColumn(sample);
  const Temperature *hottestZone = hottest(sample.temperatures);
  if (hottestZone != nullptr) {
    printf("\t%.1f C %s", static_cast<double>(hottestZone->milliCelsius) / 1000.0,
           hottestZone->type.known ? hottestZone->type.value.c_str() : "?");
  }
  printf("\n");
  flushStandardOutput();
}

// The lowest and highest Totals and the drop, flushed: before a verdict's
// line on standard error, as the interval lines are.
void printSustainedTotal(const SustainedRecord &sustained) {
  const SustainedSummary summary = summarizeSustained(sustained);
  printf("Sustained Total: lowest %.1f MB/s, highest %.1f MB/s, drop %s %%\n", summary.lowest, summary.highest,
         thousandthsAsPercent(summary.dropThousandths).c_str());
  flushStandardOutput();
}

}  // namespace

int runSustained(const DataCheck *check) {
  RunRecord &record = runRecord();
  SustainedRecord &sustained = record.sustained;
  if (textReport()) {
    printf("\nSustained Memcpy for %d s, in intervals of %d s:\n", sustained.durationS, sustained.intervalS);
    flushStandardOutput();
  }
  SampleSources sources;
  sources.memoryClock = record.clock.rateSource;
  // The text report reads only what it prints: no GPU clock.
  sources.devfreqFolder = textReport() ? nullptr : kDevfreqFolder;
  sources.thermalFolder = kThermalFolder;

  const int status = runSustainedPhase(record.memSize, sources, consoleObserver(printInterval), &sustained, check);
  clearProgress();
  if (status == kSustainedDataDiffers) {
    return failDataCheck();
  }
  if (status == kSustainedBadTimer) {
    char what[64];
    snprintf(what, sizeof what, "a batch of %ld copies", sustained.batchCopies);
    return reportTimerFault(false, sustained.badBatchMs, what);
  }
  // After a stop, the summary of the intervals that ended, if any, before the error.
  if (textReport() && !sustained.intervals.empty()) {
    printSustainedTotal(sustained);
  }
  return status == kSustainedStopped ? reportInterruption() : kRunOk;
}
