#ifndef QUILLMERE_TIMING_TIMED_LOOP_H
#define QUILLMERE_TIMING_TIMED_LOOP_H

#include <cuda_runtime_api.h>

#include <cfloat>
#include <csignal>

#include "timing/phase_observer.h"
#include "timing/timing_stats.h"

// A rate above this, in MB/s, is beyond any memory: the timer is wrong.
const double kMostMbPerS = 1e8;

// The shortest time in which bytes can move at mostMbPerS, in milliseconds.
inline double fewestMs(double bytes, double mostMbPerS) {
  return bytes / 1000.0 / mostMbPerS;
}

// The one rule for every timed repetition, by either clock: true for a
// time that no memory could give, or no time at all (not a finite number,
// or below the fewest milliseconds the bytes need).
inline bool implausibleTime(float elapsedTimeInMs, double fewest) {
  return !(static_cast<double>(elapsedTimeInMs) >= fewest) || !(elapsedTimeInMs <= FLT_MAX);
}

// The runtime calls that time one repetition, each with the call site and
// call text its error line gives.
struct TimerCalls {
  int startSite;
  const char *startText;    // cudaEventRecord(<start>, 0)
  int stopSite;
  const char *stopText;     // cudaEventRecord(<stop>, 0)
  int waitSite;
  const char *waitText;     // cudaDeviceSynchronize() or cudaEventSynchronize(<stop>)
  bool waitForDevice;       // which of the two
  int elapsedSite;
  const char *elapsedText;  // cudaEventElapsedTime(&<ms>, <start>, <stop>)
};

// The timer's events and what one repetition counts.
struct TimedWork {
  const TimerCalls *calls;
  cudaEvent_t start;
  cudaEvent_t stop;
  double fewestMs;  // fewestMs(bytes counted, the phase's bound)
};

// How a timed loop ended.
enum TimedStatus { kTimedCompleted, kTimedBadTime, kTimedStopped };

// Fails the timer's call `which` (0 to 3, in the order of TimerCalls) as a
// checked call does: its error line, then exit with status 1.
[[noreturn]] void failTimerCall(const TimerCalls &calls, int which, cudaError_t status);

// The one timed loop: times repetitions of issue() with the GPU's events
// (record the start, issue, record the stop, wait, read the elapsed time),
// each judged by implausibleTime and added to *stats, until *stats holds
// `repetitions` times or, kForATime, their sum reaches untilMs. Returns
// kTimedBadTime, the time in *badMs and not added, at the first time judged
// impossible, and kTimedStopped when the observer says to stop after a
// repetition. Every runtime call is checked; issue() checks its own.
template <bool kForATime, class Issue>
int timedLoop(const TimedWork &work, long long repetitions, double untilMs, const PhaseObserver &observer,
              Issue issue, TimingStats *stats, float *badMs) {
  const TimerCalls &calls = *work.calls;
  long *const countdown = observer.countdown;
  const volatile sig_atomic_t *const stop = observer.stop;
  while (kForATime ? stats->sum < untilMs : stats->count < repetitions) {
    float elapsedMs;  // written by the runtime, or the run ends
    cudaError_t status = cudaEventRecord(work.start, 0);
    if (status != cudaSuccess) {
      failTimerCall(calls, 0, status);
    }
    issue();
    status = cudaEventRecord(work.stop, 0);
    if (status != cudaSuccess) {
      failTimerCall(calls, 1, status);
    }
    status = calls.waitForDevice ? cudaDeviceSynchronize() : cudaEventSynchronize(work.stop);
    if (status != cudaSuccess) {
      failTimerCall(calls, 2, status);
    }
    status = cudaEventElapsedTime(&elapsedMs, work.start, work.stop);
    if (status != cudaSuccess) {
      failTimerCall(calls, 3, status);
    }
    if (implausibleTime(elapsedMs, work.fewestMs)) {
      *badMs = elapsedMs;
      return kTimedBadTime;
    }
    addTime(stats, elapsedMs);
    // repetitionDone, with the observer's pointers held across the loop.
    if (--*countdown == 0 ? observer.repetitionTimed(*stats) : *stop != 0) {
      return kTimedStopped;
    }
  }
  return kTimedCompleted;
}

// A measurement's repetitions: the timed loop until *stats holds `repetitions` times.
template <class Issue>
int timeRepetitions(const TimedWork &work, long long repetitions, const PhaseObserver &observer, Issue issue,
                    TimingStats *stats, float *badMs) {
  return timedLoop<false>(work, repetitions, 0.0, observer, issue, stats, badMs);
}

// A part that runs for a time: the timed loop until the summed time reaches untilMs.
template <class Issue>
int timeUntil(const TimedWork &work, double untilMs, const PhaseObserver &observer, Issue issue, TimingStats *stats,
              float *badMs) {
  return timedLoop<true>(work, 0, untilMs, observer, issue, stats, badMs);
}

#endif
