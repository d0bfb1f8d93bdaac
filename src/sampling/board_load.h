#ifndef QUILLMERE_SAMPLING_BOARD_LOAD_H
#define QUILLMERE_SAMPLING_BOARD_LOAD_H

#include <cstdint>
#include <string>

#include "board/known.h"
#include "board/memory_clock.h"

// Where the board shows how busy its GPU and memory are.
struct LoadFiles {
  // The GPU's busy time in per mille, the driver's moving average: the
  // first that answers.
  const char *gpu[2];
  // The memory controller's average activity in kHz: the first that answers.
  const char *memory[3];
  // The EMC rate's files, the RAM text's, in their order.
  const ClockFiles *clock;
};

// The board's files.
extern const LoadFiles kBoardLoadFiles;

// One reading: each load in tenths of a percent, as it is printed with one
// decimal; unknown when no file answers.
struct LoadReading {
  Known<uint64_t> gpuTenths;
  Known<uint64_t> memoryTenths;
};

// Reads both loads. A file answers when its first line is decimal digits
// and a newline. The memory's load is its activity over the EMC rate read
// now from the first of the RAM text's files that yields a line, as a
// percentage: 100 x activity / (rate in Hz / 1000); unknown when that rate
// is unknown or 0. textBuffer holds kClockTextBufferSize bytes.
LoadReading readBoardLoad(const LoadFiles &files, char *textBuffer);

// A load as the reports print it: "25.3 %", or "unknown".
std::string loadText(const Known<uint64_t> &tenths);

// True when the load as printed is above percent; an unknown load never is.
bool loadAbove(const Known<uint64_t> &tenths, int percent);

// True when either load of the reading is above percent.
bool readingAbove(const LoadReading &reading, int percent);

// The board's load as the run saw it.
struct LoadRecord {
  bool read = false;            // the first reading was taken
  LoadReading reading;          // the one the run measured after, or the last one
  LoadReading lastAbove;        // the last reading above the allowed load
  Known<int> maxPercent;        // --max-load
  int waitLimitS = 60;          // --wait-idle
  int waitedS = 0;              // the reading the run measured after, in seconds from the first
};

#endif
