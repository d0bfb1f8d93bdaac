#ifndef QUILLMERE_BOARD_CLOCK_STATE_H
#define QUILLMERE_BOARD_CLOCK_STATE_H

#include <cstdint>

#include "board/known.h"

// Where the memory controller's clock shows its limits.
struct ClockStateFiles {
  // The highest rate the EMC can run at, in Hz: the first non-zero answer.
  const char *firmwareMax;           // t186-t234
  const char *availableFrequencies;  // t264: blank-separated rates, the largest counts
  const char *bandwidthManagerMax;   // t210
  // The power mode's cap, in Hz: the first file that reads.
  const char *powerModeCap;          // R32-R36; 0 means none
  const char *devfreqMax;            // t264
  // Whether the rate is locked: the first that reads, non-zero meaning locked.
  const char *firmwareLocked;        // t186-t234
  const char *overrideState;         // t210
  const char *devfreqMin;            // t264: locked when it equals devfreqMax
};

// The board's files.
extern const ClockStateFiles kBoardClockStateFiles;

// Whether the clock the run had is the best the board's memory can do.
struct ClockState {
  Known<uint64_t> maxHz;
  Known<uint64_t> capHz;  // only a cap below the maximum (or with no maximum known)
  Known<bool> locked;
};

// Reads the clock's state; textBuffer holds kClockTextBufferSize bytes.
ClockState readClockState(const ClockStateFiles &files, char *textBuffer);

#endif
