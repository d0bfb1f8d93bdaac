#ifndef QUILLMERE_RUN_MEASUREMENTS_H
#define QUILLMERE_RUN_MEASUREMENTS_H

#include <cstdint>

// Selects device 0, runs the copy and the fill measurement, reports the
// memory clock and prints the "Memcpy" and "Memset" result lines.
void runMeasurements(uint32_t memSize, int repetitions);

#endif
