#ifndef QUILLMERE_SETTINGS_H
#define QUILLMERE_SETTINGS_H

#include <cstdint>

// Run status: a completed run or the usage text.
const int kRunOk = 0;
// Run status: the "size" option was rejected.
const int kRunBadSize = -4000;
// Run status: the "loops" option was rejected.
const int kRunBadLoops = -9000;

// Run status: the "min-total" option was rejected.
const int kRunBadMinTotal = -7000;
// Run status: the "min-efficiency" option was rejected.
const int kRunBadMinEfficiency = -7500;
// Run status: the "bus-width" option was rejected.
const int kRunBadBusWidth = -7600;
// Run status: "json" and "prometheus" were both given.
const int kRunBadFormats = -8000;
// Run status: a completed run whose Memcpy Total fell below "min-total", or
// below "min-efficiency" of the memory's peak, or whose peak is unknown.
const int kRunBelowMinimum = 1;

// Transfer size without a "size" option: 16 MiB.
const uint32_t kDefaultMemSize = 16u << 20;
// Repetitions without a "loops" option.
const int kDefaultRepetitions = 4000;

// Reads the "size" option, in MiB, into memSize as a byte count. Returns
// kRunOk (memSize untouched when the option is absent) or, after printing
// why, kRunBadSize for a value below 1 or of 4096 and more.
int readSizeOption(int argc, const char *const *argv, uint32_t *memSize);

// Reads the "loops" option into repetitions. Returns kRunOk (repetitions
// untouched when the option is absent) or, after printing why, kRunBadLoops
// for a value below 1 or above 2147483647.
int readLoopsOption(int argc, const char *const *argv, int *repetitions);

// Reads the "min-total" option, in MB/s, into minTotal. Returns kRunOk
// (minTotal untouched when the option is absent) or, after printing why,
// kRunBadMinTotal for a value below 1 or above 2147483647.
int readMinTotalOption(int argc, const char *const *argv, long long *minTotal);

// Reads the "min-efficiency" option, in percent of the memory's peak, into
// minPercent. Returns kRunOk (minPercent untouched when the option is
// absent) or, after printing why, kRunBadMinEfficiency for a value below 1
// or above 100.
int readMinEfficiencyOption(int argc, const char *const *argv, long long *minPercent);

// Reads the "bus-width" option, in bits, into bits. Returns kRunOk (bits
// untouched when the option is absent) or, after printing why,
// kRunBadBusWidth for a value below 1 or above 65536.
int readBusWidthOption(int argc, const char *const *argv, long long *bits);

// The report format the arguments ask for: JSON or Prometheus when exactly
// one of the two is given and "help" is not, else the text report.
int requestedReportFormat(int argc, const char *const *argv);

// Returns kRunOk, or, after printing why, kRunBadFormats when both "json"
// and "prometheus" are given.
int checkReportFormats(int argc, const char *const *argv);

// Prints a rejected option's message (in the text report) and records it.
void rejectOption(const char *message);

#endif
