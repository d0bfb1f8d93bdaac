#ifndef QUILLMERE_SAMPLING_SAMPLE_H
#define QUILLMERE_SAMPLING_SAMPLE_H

#include <cstdint>
#include <vector>

#include "board/known.h"
#include "sampling/thermal_zones.h"

// What the board says at one instant, read between two timed batches.
struct Sample {
  Known<uint64_t> memoryClockHz;
  Known<uint64_t> gpuClockHz;
  std::vector<Temperature> temperatures;  // in zone order
};

// Where a sample is read from; a null path is not read.
struct SampleSources {
  const char *memoryClock = nullptr;    // the file the RAM text came from
  const char *devfreqFolder = nullptr;  // for the GPU's clock
  const char *thermalFolder = nullptr;
};

// Reads one sample.
Sample takeSample(const SampleSources &sources);

// Prints the text report's "\tRAM: <MHz> MHz" column of a sample, in single
// precision as the RAM line has it; nothing without a rate.
void printRamColumn(const Sample &sample);

// The hottest reading (the first on a tie); nullptr when there is none.
const Temperature *hottest(const std::vector<Temperature> &temperatures);

#endif
