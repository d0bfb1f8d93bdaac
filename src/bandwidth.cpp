#include "measurements.h"

float megabytesPerSecond(double bytes, float elapsedTimeInMs) {
  // Bytes per millisecond / 1000 = bytes per microsecond = MB/s.
  return static_cast<float>(bytes / static_cast<double>(elapsedTimeInMs) / 1000.0);
}
