#include "data/verify.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

const uint64_t kPatternFactor = 0x9E3779B97F4A7C15ULL;

// Counts the differing bytes of one block that memcmp found unequal.
void countBlock(const unsigned char *read, const unsigned char *expected, size_t length, uint64_t at,
                ByteDifference *difference) {
  for (size_t i = 0; i < length; i++) {
    if (read[i] != expected[i]) {
      if (difference->count == 0) {
        difference->offset = at + i;
        difference->read = read[i];
        difference->expected = expected[i];
      }
      difference->count++;
    }
  }
}

// Compares size bytes read back, a block at a time, with the expected
// bytes: a whole buffer of them, or one block that repeats.
ByteDifference compareBlocks(const unsigned char *read, const unsigned char *expected, bool repeats, size_t size) {
  ByteDifference difference;
  for (size_t at = 0; at < size; at += kCompareBlock) {
    const size_t length = std::min(kCompareBlock, size - at);
    const unsigned char *want = repeats ? expected : expected + at;
    if (memcmp(read + at, want, length) != 0) {
      countBlock(read + at, want, length, at, &difference);
    }
  }
  return difference;
}

}  // namespace

ByteDifference compareBytes(const unsigned char *read, const unsigned char *expected, size_t size) {
  return compareBlocks(read, expected, false, size);
}

ByteDifference compareRepeating(const unsigned char *read, const unsigned char *block, size_t size) {
  return compareBlocks(read, block, true, size);
}

void fillCheckPattern(unsigned char *buffer, size_t size) {
  for (size_t word = 0; word < size / 8; word++) {
    const uint64_t value = word * kPatternFactor;
    for (size_t byte = 0; byte < 8; byte++) {
      buffer[8 * word + byte] = static_cast<unsigned char>(value >> (8 * byte));
    }
  }
}

bool countReadBack(VerifyRecord *record, const char *where, uint64_t size, const ByteDifference &difference) {
  record->readBacks++;
  record->bytes += size;
  if (difference.count == 0) {
    return true;
  }
  record->differingBytes += difference.count;
  record->differs = true;
  record->where = where;
  record->checkedBytes = size;
  record->first = difference;
  return false;
}

std::string differenceMessage(const VerifyRecord &record, uint64_t size) {
  char text[512];
  snprintf(text, sizeof text, "%s read back %llu differing bytes of %llu, the first at byte %llu (0x%02x instead of 0x%02x)",
           record.where.c_str(), static_cast<unsigned long long>(record.first.count),
           static_cast<unsigned long long>(size), static_cast<unsigned long long>(record.first.offset),
           static_cast<unsigned>(record.first.read), static_cast<unsigned>(record.first.expected));
  return text;
}
