#include "measurements/measurements.h"
#include "timing/rate.h"
#include "timing/timed_loop.h"

int measurementEnded(int timed, int repetitions, double bytes, MeasuredFigure *figure) {
  figure->done = timed == kTimedCompleted || figure->stats.count == repetitions;
  if (figure->done) {
    figure->figure = megabytesPerSecond(bytes, figure->stats.shortest);
  }
  if (timed == kTimedBadTime) {
    return kMeasureBadTime;
  }
  return figure->done ? kMeasureCompleted : kMeasureStopped;
}
