#include "sweep/sweep_record.h"

#include <cmath>
#include <string>

#include "board/gpu_cache.h"
#include "timing/rate.h"

namespace {

const uint64_t kMiB = 1u << 20;
const uint64_t kLargestSweepMiB = 2048;

}  // namespace

std::vector<uint32_t> sweepSizes(uint32_t memSizeMiB, long long l2Bytes) {
  uint64_t largest = memSizeMiB;
  if (l2Bytes > 0) {
    const uint64_t fourL2MiB = (4 * static_cast<uint64_t>(l2Bytes) + kMiB - 1) / kMiB;
    largest = fourL2MiB > largest ? fourL2MiB : largest;
  }
  largest = powerOfTwoAtLeast(largest);
  if (largest > kLargestSweepMiB) {
    largest = kLargestSweepMiB;
  }
  std::vector<uint32_t> sizes;
  for (uint64_t size = 1; size <= largest; size *= 2) {
    sizes.push_back(static_cast<uint32_t>(size));
  }
  return sizes;
}

uint32_t sweepPlateauMiB(const SweepRecord &record) {
  if (record.sizes.empty() || record.sizes.size() != record.planMiB.size()) {
    return 0;
  }
  const double largest = printedValue(record.sizes.back().totalMbPerS);
  size_t plateau = record.sizes.size() - 1;
  while (plateau > 0 && std::fabs(printedValue(record.sizes[plateau - 1].totalMbPerS) - largest) <= 0.1 * largest) {
    plateau--;
  }
  return record.sizes[plateau].sizeMiB;
}
