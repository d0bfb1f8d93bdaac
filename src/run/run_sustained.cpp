#include "run/run_sustained.h"

#include <cstdio>
#include <string>

#include "board/decimal.h"
#include "run/interruption.h"
#include "run/progress.h"
#include "run/run_error.h"
#include "run/run_record.h"
#include "run/run_verify.h"
#include "run/settings.h"
#include "run/stdout_guard.h"
#include "sampling/gpu_clock.h"
#include "sampling/sample.h"
#include "sampling/thermal_zones.h"
#include "sustained/sustained_phase.h"

namespace {

// One line an interval, written and flushed as it ends.
void printInterval(const IntervalRecord &interval) {
  clearProgress();
  printf("%d s\tMemcpy\t%7.1f MB/s (Total: %.1f MB/s)", interval.endS, interval.mbPerS, interval.totalMbPerS);
  const Sample &sample = interval.sample;
  if (sample.memoryClockHz.known) {
    // As the RAM line has it: single precision.
    printf("\tRAM: %.1f MHz", static_cast<double>(static_cast<float>(sample.memoryClockHz.value) / 1000000.0f));
  }
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

int runSustained(uint32_t memSize, const DataCheck *check) {
  RunRecord &record = runRecord();
  SustainedRecord &sustained = record.sustained;
  SustainedObserver observer = {tickSustainedProgress, nullptr};
  if (textReport()) {
    printf("\nSustained Memcpy for %d s, in intervals of %d s:\n", sustained.durationS, sustained.intervalS);
    flushStandardOutput();
    observer.intervalEnded = printInterval;
  }
  SampleSources sources;
  sources.memoryClock = record.clock.rateSource;
  // The text report reads only what it prints: no GPU clock.
  sources.devfreqFolder = textReport() ? nullptr : kDevfreqFolder;
  sources.thermalFolder = kThermalFolder;

  beginSustainedProgress();
  const int status = runSustainedPhase(memSize, sources, observer, &sustained, check);
  clearProgress();
  if (status == kSustainedDataDiffers) {
    return failDataCheck(memSize);
  }
  if (status == kSustainedStopped) {
    // The summary of the intervals that ended, if any, before the error.
    if (textReport() && !sustained.intervals.empty()) {
      printSustainedTotal(sustained);
    }
    return reportInterruption();
  }
  if (status == kSustainedBadTimer) {
    char message[256];
    snprintf(message, sizeof message, "the GPU timer gave %g ms for a batch of %ld copies",
             static_cast<double>(sustained.badBatchMs), sustained.batchCopies);
    reportRunError(kErrorTimer, message);
    return kRunBelowMinimum;
  }
  if (textReport()) {
    printSustainedTotal(sustained);
  }
  return kRunOk;
}

int checkDrop(int maxPercent) {
  const SustainedSummary summary = summarizeSustained(runRecord().sustained);
  if (!dropTooLarge(summary, maxPercent)) {
    return kRunOk;
  }
  char message[512];
  snprintf(message, sizeof message,
           "sustained Memcpy total fell to %.1f MB/s, %s %% below its highest of %.1f MB/s, more than the allowed %d %%",
           summary.lowest, thousandthsAsPercent(summary.dropThousandths).c_str(), summary.highest, maxPercent);
  fprintf(stderr, "Error: %s\n", message);
  recordError(kErrorBandwidthDrop, message);
  return kRunBelowMinimum;
}
