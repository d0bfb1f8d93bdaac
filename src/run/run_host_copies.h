#ifndef QUILLMERE_RUN_RUN_HOST_COPIES_H
#define QUILLMERE_RUN_RUN_HOST_COPIES_H

#include "data/verify.h"

// Runs the record's host copies of its size after the measurements; with a
// check, each host buffer copied back from the device is checked. The text
// report prints a line as each copy ends. Returns kRunOk;
// kRunTimerFault after "Error: the GPU timer gave <t> ms for a host copy"
// (or "the host clock gave"); kRunDataDiffers after a read-back's
// difference; kRunInterrupted after a stop signal. Exits with status 1 when
// a host buffer cannot be allocated.
int runHostCopies(const DataCheck *check);

#endif
