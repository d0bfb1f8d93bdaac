#include "run/run_measurements.h"

#include <cuda_runtime_api.h>

#include <cstdio>
#include <cstdlib>

#include "board/clock_state.h"
#include "board/memory_clock.h"
#include "board/memory_peak.h"
#include "console/end_run.h"
#include "measurements/measurements.h"
#include "console/progress.h"
#include "record/run_record.h"
#include "run/wait_idle.h"

namespace {

// Reads the board's files into *clock and, in the text report, prints what
// they say, as printMemoryClock.
void reportMemoryClock(char *textBuffer, char *scratch, MemoryClock *clock) {
  readMemoryClock(kBoardClockFiles, textBuffer, scratch, clock);
  if (textReport()) {
    printMemoryClock(*clock);
  }
}

// After the measurements, as the memory clock: the clock's state for the
// machine reports, and the channel count where nothing else gives an
// integrated device's bus width.
void readBoardAfterMeasuring(char *textBuffer, RunRecord *record) {
  if (!textReport() && record->clock.rateSource != nullptr) {
    record->clockState = readClockState(kBoardClockStateFiles, textBuffer);
  }
  if (record->integrated && !record->busWidthOption.known && !record->board.moduleBusWidthBits.known) {
    record->channelBusWidth = readChannelBusWidth(kMemoryControllerChannels, textBuffer);
  }
}

}  // namespace

int runMeasurements(const DataCheck *check) {
  // Without the text buffer the clock report is skipped; the figures still count.
  char *textBuffer = static_cast<char *>(malloc(kClockTextBufferSize));

  (void)cudaSetDevice(0);

  RunRecord &record = runRecord();
  const PhaseObserver observer = consoleObserver(nullptr);
  int status = measureDeviceCopy(record.memSize, record.repetitions, observer, check, &record.copy);
  if (status == kMeasureNoHostMemory) {
    failHostAllocation();
  }
  const char *faulty = status == kMeasureBadTime ? "a Memcpy repetition" : nullptr;
  if (record.copy.done && !record.verify.differs) {
    status = measureDeviceFill(record.memSize, record.repetitions, observer, check, &record.fill);
    faulty = status == kMeasureBadTime ? "a Memset repetition" : nullptr;
  }
  clearProgress();
  if (faulty != nullptr) {
    free(textBuffer);
    const MeasuredFigure &bad = record.copy.done ? record.fill : record.copy;
    return reportTimerFault(false, bad.badMs, faulty);
  }

  if (textBuffer != nullptr) {
    char scratch[kClockScratchSize] = {};
    reportMemoryClock(textBuffer, scratch, &record.clock);
    if (record.boardFacts) {
      readBoardAfterMeasuring(textBuffer, &record);
    }
  }

  if (textReport() && record.load.maxPercent.known) {
    const MemoryClock &clock = record.clock;
    printLoadLine(record.load, clock.rateSource != nullptr && !clock.haveClockRate);
  }
  if (textReport() && record.copy.done) {
    printf("\nMemcpy");
    printf("\t%7.1f MB/s (Total: %.1f MB/s)\n", record.copy.figure / 2, record.copy.figure);
  }
  if (textReport() && record.fill.done) {
    printf("Memset");
    printf("\t%7.1f MB/s\n", record.fill.figure);
  }

  free(textBuffer);
  return kRunOk;
}
