#ifndef QUILLMERE_RUN_RUN_HOST_COPIES_H
#define QUILLMERE_RUN_RUN_HOST_COPIES_H

#include <cstdint>

// Runs the record's host copies of memSize bytes after the measurements.
// The text report prints a line as each copy ends. Returns kRunOk or, after
// "Error: the GPU timer gave <t> ms for a host copy" (or "the host clock
// gave"), kRunBelowMinimum; exits with status 1 when a host buffer cannot
// be allocated.
int runHostCopies(uint32_t memSize);

#endif
