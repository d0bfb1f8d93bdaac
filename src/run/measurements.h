#ifndef QUILLMERE_MEASUREMENTS_H
#define QUILLMERE_MEASUREMENTS_H

#include <cstdint>

#include "data/verify.h"
#include "timing/timing_stats.h"

// Best-of-N device-to-device copy rate in MB/s (10^6 bytes per second),
// counting each byte once read and once written; every repetition's time
// goes into *stats. With a check, the destination is read back after the
// last repetition and compared with the staging buffer. A stop signal ends
// the repetitions early: fewer times in *stats than repetitions, and no
// read-back. Exits with status 1 on a failed runtime call or when the host
// staging buffer cannot be allocated.
float measureDeviceCopy(uint32_t memSize, int repetitions, TimingStats *stats, const DataCheck *check);

// Writes the host-memory message on standard error, records it and exits
// with status 1: a host buffer of the measurements could not be allocated.
[[noreturn]] void failHostAllocation();

// Best-of-N device memory fill rate in MB/s; every repetition's time goes
// into *stats. With a check, the buffer is read back after the last
// repetition and compared with the fill value, 0. A stop signal ends the
// repetitions early, as the copy's. Exits with status 1 on a failed runtime
// call.
float measureDeviceFill(uint32_t memSize, int repetitions, TimingStats *stats, const DataCheck *check);

#endif
