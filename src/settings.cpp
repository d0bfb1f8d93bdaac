#include "settings.h"

#include <cstdio>

#include "options.h"

namespace {

// The byte count is 32 bits wide: 4096 MiB would wrap to 0.
const long long kSizeLimitMiB = 4096;
const long long kMaxRepetitions = 2147483647;

}  // namespace

int readSizeOption(int argc, const char *const *argv, uint32_t *memSize) {
  if (!hasOption(argc, argv, "size")) {
    return kRunOk;
  }
  const long long sizeMiB = optionIntValue(argc, argv, "size");
  if (sizeMiB <= 0) {
    printf("Illegal argument - size must be greater than zero\n");
    return kRunBadSize;
  }
  if (sizeMiB >= kSizeLimitMiB) {
    printf("Illegal argument - size must be less than 4096\n");
    return kRunBadSize;
  }
  *memSize = static_cast<uint32_t>(sizeMiB) << 20;
  return kRunOk;
}

int readLoopsOption(int argc, const char *const *argv, int *repetitions) {
  if (!hasOption(argc, argv, "loops")) {
    return kRunOk;
  }
  const long long loops = optionIntValue(argc, argv, "loops");
  if (loops <= 0) {
    printf("Illegal argument - loops must be greater than zero\n");
    return kRunBadLoops;
  }
  if (loops > kMaxRepetitions) {
    printf("Illegal argument - loops must be at most 2147483647\n");
    return kRunBadLoops;
  }
  *repetitions = static_cast<int>(loops);
  return kRunOk;
}
