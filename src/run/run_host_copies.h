#ifndef QUILLMERE_RUN_RUN_HOST_COPIES_H
#define QUILLMERE_RUN_RUN_HOST_COPIES_H

#include <cstdint>

#include "data/verify.h"

// Runs the record's host copies of memSize bytes after the measurements;
// with a check, each host buffer copied back from the device is checked.
// The text report prints a line as each copy ends. Returns kRunOk or, after
// "Error: the GPU timer gave <t> ms for a host copy" (or "the host clock
// gave"), or a read-back's difference, kRunBelowMinimum; after a stop
// signal, kRunInterrupted; exits with status 1 when a host buffer cannot be
// allocated.
int runHostCopies(uint32_t memSize, const DataCheck *check);

#endif
