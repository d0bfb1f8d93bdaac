#ifndef QUILLMERE_TIMING_STATS_H
#define QUILLMERE_TIMING_STATS_H

#include <cmath>
#include <limits>

// Running statistics of a measurement's repetition times, in milliseconds,
// kept without storing the times (Welford's method).
struct TimingStats {
  long long count = 0;
  double mean = 0.0;
  double squaredDeviations = 0.0;  // sum of squared deviations from the mean
  float shortest = std::numeric_limits<float>::infinity();
  float longest = -std::numeric_limits<float>::infinity();
};

// Adds one repetition's time.
inline void addTime(TimingStats *stats, float elapsedTimeInMs) {
  const double time = elapsedTimeInMs;
  stats->count++;
  const double delta = time - stats->mean;
  stats->mean += delta / static_cast<double>(stats->count);
  stats->squaredDeviations += delta * (time - stats->mean);
  if (elapsedTimeInMs < stats->shortest) {
    stats->shortest = elapsedTimeInMs;
  }
  if (elapsedTimeInMs > stats->longest) {
    stats->longest = elapsedTimeInMs;
  }
}

// Population standard deviation of the times over their mean; 0 for one
// time. Not finite when the mean is 0 or a time was not finite.
inline double coefficientOfVariation(const TimingStats &stats) {
  if (stats.count == 1) {
    return 0.0;
  }
  return std::sqrt(stats.squaredDeviations / static_cast<double>(stats.count)) / stats.mean;
}

#endif
