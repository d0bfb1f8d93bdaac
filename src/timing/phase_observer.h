#ifndef QUILLMERE_TIMING_PHASE_OBSERVER_H
#define QUILLMERE_TIMING_PHASE_OBSERVER_H

#include <csignal>

#include "timing/timing_stats.h"

// What a phase tells the console as it goes, and how it learns to stop.
// Every member is set: a phase with nothing to show is given one whose
// functions do nothing.
struct PhaseObserver {
  // A part of the phase begins: its name on the progress line, its
  // repetitions (0 for a part that runs for a time, below 0 for one that
  // draws its own line with progressText) and the bytes that one repetition
  // counts.
  void (*partBegins)(const char *name, long long repetitions, double bytes);
  // Called after a timed repetition once *countdown has counted down to 0;
  // sets the countdown again. True when the part must stop.
  bool (*repetitionTimed)(const TimingStats &stats);
  long *countdown;
  // Not 0 once the run has been asked to stop: looked at after every
  // repetition.
  const volatile sig_atomic_t *stop;
  // A part has ended and stands as the newest entry of the phase's record.
  void (*partEnded)();
  // The progress line's text, as it is, for a part that draws its own.
  void (*progressText)(const char *line);
};

// After each timed repetition, outside the timing: a count and a look at
// the stop flag most of the time. True when the part must stop.
inline bool repetitionDone(const PhaseObserver &observer, const TimingStats &stats) {
  return --*observer.countdown == 0 ? observer.repetitionTimed(stats) : *observer.stop != 0;
}

#endif
