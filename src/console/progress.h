#ifndef QUILLMERE_CONSOLE_PROGRESS_H
#define QUILLMERE_CONSOLE_PROGRESS_H

#include "timing/phase_observer.h"
#include "timing/timing_stats.h"

// A progress line on standard error while the run measures or waits, drawn
// only when standard error is a terminal: a part with repetitions shows
// "<name> <done>/<repetitions>, best <X> MB/s", one that runs for a time
// "<name>, total <T> MB/s", its Total so far. Elsewhere nothing is written.

// Starts a part of the line: its name as shown, its repetitions (0 for a
// part that runs for a time, below 0 for one whose text the phase draws
// with drawProgressText), and the bytes that one repetition counts (the
// copy's 2 x size).
void beginProgress(const char *name, long long repetitions, double bytes);

// Calls for a look at the clock after this many more repetitions.
extern long progressCountdown;

// Looks at the clock, draws the line when it is due, and sets the countdown.
// Returns true when a signal asked the run to stop.
bool checkProgress(const TimingStats &stats);

// Draws the line's text as it is, on a terminal.
void drawProgressText(const char *line);

// Removes the line from the terminal, if one is drawn. Call before anything
// else is written to either stream, and when the fill ends.
void clearProgress();

// The observer every phase reports through: its parts on the progress line
// and, in the text report only, each part's line by printPart once it has
// ended (null for a phase without such lines).
PhaseObserver consoleObserver(void (*printPart)());

#endif
