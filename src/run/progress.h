#ifndef QUILLMERE_PROGRESS_H
#define QUILLMERE_PROGRESS_H

#include "timing/timing_stats.h"

// A progress line on standard error while the measurements run, drawn
// only when standard error is a terminal: the measurement, repetitions done
// of the total and the best figure so far, or the sustained copy's interval
// and its Total so far. Elsewhere nothing is written.

// Starts a measurement's part of the line: name as shown, its repetitions,
// and the bytes that one repetition counts (the copy's 2 x size).
void beginProgress(const char *name, int repetitions, double bytes);

// Calls for a look at the clock after this many more repetitions; a stop
// signal sets it to 1.
extern long progressCountdown;

// Looks at the clock, draws the line when it is due, and sets the countdown.
// Returns true when a signal asked the run to stop.
bool checkProgress(const TimingStats &stats);

// After each timed repetition, outside the timed region: cheap, a count
// most of the time. Returns true when the measurement must stop: a signal
// asked the run to.
inline bool tickProgress(const TimingStats &stats) {
  return --progressCountdown == 0 && checkProgress(stats);
}

// Starts the sustained copy's part of the line, after the measurements.
void beginSustainedProgress();

// After each timed batch of the sustained copy, outside the timed region:
// draws "Sustained <interval>/<intervals>, total <T> MB/s" when due, T the
// interval's Total so far. Returns true when a signal asked the run to stop.
bool tickSustainedProgress(int interval, int intervals, double totalMbPerS);

// Draws the line's text as it is, on a terminal.
void drawProgressText(const char *line);

// Removes the line from the terminal, if one is drawn. Call before anything
// else is written to either stream, and when the fill ends.
void clearProgress();

#endif
