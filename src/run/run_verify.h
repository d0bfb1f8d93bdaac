#ifndef QUILLMERE_RUN_RUN_VERIFY_H
#define QUILLMERE_RUN_RUN_VERIFY_H

#include <cstdint>

#include "data/verify.h"

// The host buffers of the record's read-backs, allocated before the
// measurements: one for every read-back, and with a phase that copies the
// check pattern (the sustained copy, the CPU and GPU copies) one of
// its check pattern. Exits with status 1, after the host-memory message,
// when one cannot be allocated.
DataCheck startChecks(uint32_t memSize, bool pattern);

// Releases what startChecks allocated.
void endChecks(const DataCheck &check);

// After a read-back that differed: "Error: <where> read back ...", as every
// error that ends a run. Returns kRunDataDiffers.
int failDataCheck();

// The text report's "Verified: <k> read-backs, <bytes> bytes, no byte
// differs".
void printVerified();

#endif
