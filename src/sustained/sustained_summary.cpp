#include <cstdio>
#include <cstdlib>

#include "board/decimal.h"
#include "sustained/sustained_record.h"

long batchCopies(uint32_t memSize) {
  const long sizeMiB = static_cast<long>(memSize >> 20);
  return (1024 + sizeMiB - 1) / sizeMiB;
}

int intervalCount(int durationS, int intervalS) {
  return (durationS + intervalS - 1) / intervalS;
}

namespace {

// A Total as the text report prints it, read back.
double asPrinted(double total) {
  char text[512];
  snprintf(text, sizeof text, "%.1f", total);
  return strtod(text, nullptr);
}

}  // namespace

SustainedSummary summarizeSustained(const SustainedRecord &record) {
  SustainedSummary summary;
  if (record.intervals.empty()) {
    return summary;
  }
  summary.known = true;
  summary.lowest = asPrinted(record.intervals.front().totalMbPerS);
  summary.highest = summary.lowest;
  for (const IntervalRecord &interval : record.intervals) {
    const double total = asPrinted(interval.totalMbPerS);
    summary.lowest = total < summary.lowest ? total : summary.lowest;
    summary.highest = total > summary.highest ? total : summary.highest;
  }
  // One interval, or nothing measurable, has fallen nowhere.
  summary.drop = summary.highest > 0.0 ? 1.0 - summary.lowest / summary.highest : 0.0;
  bool negative = false;
  summary.dropThousandths = printedThousandths(summary.drop, &negative);
  if (negative) {
    summary.dropThousandths = 0;
  }
  return summary;
}

bool dropTooLarge(const SustainedSummary &summary, int maxPercent) {
  return summary.known && summary.dropThousandths > static_cast<uint64_t>(maxPercent) * 10;
}
