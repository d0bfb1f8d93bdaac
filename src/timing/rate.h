#ifndef QUILLMERE_TIMING_RATE_H
#define QUILLMERE_TIMING_RATE_H

#include <cmath>
#include <string>

// Rate in MB/s for bytes moved in the given milliseconds, in double precision.
float megabytesPerSecond(double bytes, float elapsedTimeInMs);

// A figure as the text report prints it: one decimal ("%.1f").
std::string printedFigure(double figure);

// True for a time that no memory could give, or no time at all: not a
// positive finite number, or one in which bytes would move faster than
// mostMbPerS. Inline: it runs once per timed repetition.
inline bool implausibleTime(float elapsedTimeInMs, double bytes, double mostMbPerS) {
  if (!std::isfinite(elapsedTimeInMs) || elapsedTimeInMs <= 0.0f) {
    return true;
  }
  return bytes / static_cast<double>(elapsedTimeInMs) / 1000.0 > mostMbPerS;
}

#endif
