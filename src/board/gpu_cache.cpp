#include "board/gpu_cache.h"

#include <cstdio>

namespace {

const uint64_t kMiB = 1u << 20;
const uint32_t kMostSizeMiB = 4095;

}  // namespace

bool cacheSized(long long l2Bytes, uint64_t sizeBytes) {
  return l2Bytes > 0 && 2 * sizeBytes <= static_cast<uint64_t>(l2Bytes);
}

uint64_t powerOfTwoAtLeast(uint64_t n) {
  uint64_t power = 1;
  while (power < n) {
    power *= 2;
  }
  return power;
}

uint32_t sizePastCacheMiB(long long l2Bytes) {
  if (l2Bytes <= 0) {
    return 0;
  }
  const uint64_t twiceMiB = (2 * static_cast<uint64_t>(l2Bytes) + kMiB - 1) / kMiB;
  const uint64_t past = powerOfTwoAtLeast(twiceMiB);
  return past > kMostSizeMiB ? kMostSizeMiB : static_cast<uint32_t>(past);
}

std::string cacheMiBText(long long l2Bytes) {
  char text[64];
  if (l2Bytes % static_cast<long long>(kMiB) == 0) {
    snprintf(text, sizeof text, "%lld", l2Bytes / static_cast<long long>(kMiB));
  } else {
    snprintf(text, sizeof text, "%.1f", static_cast<double>(l2Bytes) / static_cast<double>(kMiB));
  }
  return text;
}
