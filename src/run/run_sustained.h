#ifndef QUILLMERE_RUN_RUN_SUSTAINED_H
#define QUILLMERE_RUN_RUN_SUSTAINED_H

#include "data/verify.h"

// Runs the record's sustained copy of its size after the measurements,
// checked at each interval's end when check is not null. The text report
// prints its header as it starts, a line as each interval ends and its
// lowest, highest and drop at its end. Returns kRunOk; kRunTimerFault after
// "Error: the GPU timer gave <t> ms for a batch of <B> copies";
// kRunDataDiffers after a read-back's difference; kRunInterrupted after a
// stop signal, the Sustained Total of the intervals that ended printed
// first.
int runSustained(const DataCheck *check);

#endif
