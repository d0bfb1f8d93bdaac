#ifndef QUILLMERE_RUN_SUSTAINED_H
#define QUILLMERE_RUN_SUSTAINED_H

#include <cstdint>

#include "data/verify.h"

// Runs the record's sustained copy of memSize bytes after the measurements,
// checked at each interval's end when check is not null. The text report
// prints its header as it starts, a line as each interval ends and its
// lowest, highest and drop at its end. Returns kRunOk or, after "Error: the
// GPU timer gave <t> ms for a batch of <B> copies" or a read-back's
// difference, kRunBelowMinimum; after a stop signal, kRunInterrupted, the
// Sustained Total of the intervals that ended printed first.
int runSustained(uint32_t memSize, const DataCheck *check);

// Fails a completed sustained copy whose Total fell more than maxPercent
// below its highest interval, with its message; returns kRunOk or
// kRunBelowMinimum.
int checkDrop(int maxPercent);

#endif
