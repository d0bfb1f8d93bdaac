#ifndef QUILLMERE_MEASUREMENTS_MEASUREMENTS_H
#define QUILLMERE_MEASUREMENTS_MEASUREMENTS_H

#include <cstdint>

#include "data/verify.h"
#include "timing/phase_observer.h"
#include "timing/timing_stats.h"

// One measurement's outcome.
struct MeasuredFigure {
  bool done = false;    // all its repetitions ran
  double figure = 0.0;  // MB/s as the text report prints it (the copy's Total)
  TimingStats stats;
  float badMs = 0.0f;   // the time that ended it, if one did
};

// How a measurement ended.
enum MeasureStatus { kMeasureCompleted, kMeasureStopped, kMeasureBadTime, kMeasureNoHostMemory };

// How a measurement's timed loop ended (a TimedStatus), into *figure: done
// once all `repetitions` times are in its stats (a stop after the last
// still leaves it done), and then its best-of-N rate for bytes a
// repetition. Returns kMeasureCompleted, kMeasureStopped or kMeasureBadTime.
int measurementEnded(int timed, int repetitions, double bytes, MeasuredFigure *figure);

// Best-of-N device-to-device copy rate in MB/s (10^6 bytes per second),
// counting each byte once read and once written, into *copy: every
// repetition's time goes into its stats, and it is done once all ran. With
// a check, the destination is read back after the last repetition and
// compared with the staging buffer. Returns kMeasureStopped when the
// observer stopped it (no read-back), kMeasureBadTime, the time in
// copy->badMs, for a time no memory could give, its events and buffers
// released either way; kMeasureNoHostMemory, before any buffer and with its
// events left, when the host staging buffer cannot be allocated. Exits with
// status 1 on a failed runtime call.
int measureDeviceCopy(uint32_t memSize, int repetitions, const PhaseObserver &observer, const DataCheck *check,
                      MeasuredFigure *copy);

// Best-of-N device memory fill rate in MB/s into *fill, as the copy's: with
// a check, the buffer is read back after the last repetition and compared
// with the fill value, 0. Returns kMeasureCompleted, kMeasureStopped or
// kMeasureBadTime as the copy does.
int measureDeviceFill(uint32_t memSize, int repetitions, const PhaseObserver &observer, const DataCheck *check,
                      MeasuredFigure *fill);

#endif
