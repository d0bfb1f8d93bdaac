#ifndef QUILLMERE_RUN_RUN_MEASUREMENTS_H
#define QUILLMERE_RUN_RUN_MEASUREMENTS_H

#include "data/verify.h"

// Selects device 0, runs the copy and the fill measurement of the record's
// size and repetitions, reports the memory clock and prints the "Memcpy"
// and "Memset" result lines. With a check, each measurement's data is read
// back after it; when the copy's differs, the fill is not measured and its
// line not printed. With --max-load the text report's Load line stands
// after the RAM text. A measurement a stop signal cut short has no figure
// and no line, and the fill does not follow an unfinished copy. Returns
// kRunOk, or kRunTimerFault after "Error: the GPU timer gave <t> ms for a
// Memcpy repetition" (or a Memset one), with nothing of the RAM text or the
// result lines printed; exits with status 1 when the staging buffer cannot
// be allocated.
int runMeasurements(const DataCheck *check);

#endif
