#include "data/staging.h"

#include <algorithm>
#include <cstring>

namespace {

const uint32_t kPatternPeriod = 256;

}  // namespace

void fillStagingBuffer(unsigned char *buffer, uint32_t size) {
  // One period by hand, then the filled prefix doubles with memcpy: the
  // pattern repeats every 256 bytes, so each copy lands in phase.
  const uint32_t first = std::min(size, kPatternPeriod);
  for (uint32_t i = 0; i < first; i++) {
    buffer[i] = static_cast<unsigned char>(i);
  }
  for (uint32_t filled = first; filled < size;) {
    const uint32_t chunk = std::min(filled, size - filled);
    memcpy(buffer + filled, buffer, chunk);
    filled += chunk;
  }
}
