#include "settings.h"

#include <cstdio>

#include "options.h"

namespace {

// Reads option name into *value when present. A value below 1 or above
// largest is rejected with its message and rejectStatus.
int readPositiveOption(int argc, const char *const *argv, const char *name, long long largest,
                       const char *tooLargeMessage, int rejectStatus, long long *value) {
  if (!hasOption(argc, argv, name)) {
    return kRunOk;
  }
  const long long given = optionIntValue(argc, argv, name);
  if (given <= 0) {
    printf("Illegal argument - %s must be greater than zero\n", name);
    return rejectStatus;
  }
  if (given > largest) {
    printf("%s\n", tooLargeMessage);
    return rejectStatus;
  }
  *value = given;
  return kRunOk;
}

}  // namespace

int readSizeOption(int argc, const char *const *argv, uint32_t *memSize) {
  // The byte count is 32 bits wide: 4096 MiB would wrap to 0.
  long long sizeMiB = 0;
  const int status = readPositiveOption(argc, argv, "size", 4095,
                                        "Illegal argument - size must be less than 4096", kRunBadSize,
                                        &sizeMiB);
  if (status == kRunOk && sizeMiB != 0) {
    *memSize = static_cast<uint32_t>(sizeMiB) << 20;
  }
  return status;
}

int readLoopsOption(int argc, const char *const *argv, int *repetitions) {
  long long loops = 0;
  const int status = readPositiveOption(argc, argv, "loops", 2147483647,
                                        "Illegal argument - loops must be at most 2147483647",
                                        kRunBadLoops, &loops);
  if (status == kRunOk && loops != 0) {
    *repetitions = static_cast<int>(loops);
  }
  return status;
}
