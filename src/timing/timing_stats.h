#ifndef QUILLMERE_TIMING_TIMING_STATS_H
#define QUILLMERE_TIMING_TIMING_STATS_H

#include <algorithm>
#include <cmath>
#include <limits>

// Smallest elapsed time so far starts here, in milliseconds.
const float kNoTimeYetMs = 1e9f;
// Running statistics of a measurement's repetition times, in milliseconds,
// kept without storing the times.
struct TimingStats {
  long long count = 0;
  double sum = 0.0;
  // The times are floats, so each square is exact in double precision; only
  // the additions round, far below the four decimals the spread is given in.
  double squares = 0.0;
  // The smallest time, by the figure's rule: it starts at kNoTimeYetMs and
  // an equal time changes nothing.
  float shortest = kNoTimeYetMs;
  float longest = -std::numeric_limits<float>::infinity();
};

// Adds one repetition's time. Cheap: it runs once per timed repetition.
inline void addTime(TimingStats *stats, float elapsedTimeInMs) {
  const double time = elapsedTimeInMs;
  stats->count++;
  stats->sum += time;
  stats->squares += time * time;
  if (stats->shortest > elapsedTimeInMs) {
    stats->shortest = elapsedTimeInMs;
  }
  if (elapsedTimeInMs > stats->longest) {
    stats->longest = elapsedTimeInMs;
  }
}

// The mean repetition time.
inline double meanTime(const TimingStats &stats) {
  return stats.sum / static_cast<double>(stats.count);
}

// Population standard deviation of the times over their mean; 0 for one
// time. Not finite when the mean is 0 or a time was not finite.
inline double coefficientOfVariation(const TimingStats &stats) {
  if (stats.count == 1) {
    return 0.0;
  }
  const double mean = meanTime(stats);
  const double variance = std::max(0.0, stats.squares / static_cast<double>(stats.count) - mean * mean);
  return std::sqrt(variance) / mean;
}

#endif
