#ifndef QUILLMERE_MEASUREMENTS_H
#define QUILLMERE_MEASUREMENTS_H

#include <cstdint>
#include <string>

#include "run/timing_stats.h"

// Best-of-N device-to-device copy rate in MB/s (10^6 bytes per second),
// counting each byte once read and once written; every repetition's time
// goes into *stats. Exits with status 1 on a failed runtime call or when the
// host staging buffer cannot be allocated.
float measureDeviceCopy(uint32_t memSize, int repetitions, TimingStats *stats);

// Best-of-N device memory fill rate in MB/s; every repetition's time goes
// into *stats. Exits with status 1 on a failed runtime call.
float measureDeviceFill(uint32_t memSize, int repetitions, TimingStats *stats);

// Rate in MB/s for bytes moved in the given milliseconds, in double precision.
float megabytesPerSecond(double bytes, float elapsedTimeInMs);

// A figure as the text report prints it: one decimal ("%.1f").
std::string printedFigure(double figure);

#endif
