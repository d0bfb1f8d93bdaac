#include "timing/rate.h"

#include <cstdio>
#include <cstdlib>

float megabytesPerSecond(double bytes, float elapsedTimeInMs) {
  // Bytes per millisecond / 1000 = bytes per microsecond = MB/s.
  return static_cast<float>(bytes / static_cast<double>(elapsedTimeInMs) / 1000.0);
}

std::string printedFigure(double figure) {
  char text[512];
  snprintf(text, sizeof text, "%.1f", figure);
  return text;
}

double printedValue(double figure) {
  return strtod(printedFigure(figure).c_str(), nullptr);
}
