#include "run/settings.h"

#include <cstdio>

#include <string>

#include "run/options.h"
#include "run/run_record.h"

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
    rejectOption(("Illegal argument - " + std::string(name) + " must be greater than zero").c_str());
    return rejectStatus;
  }
  if (given > largest) {
    rejectOption(tooLargeMessage);
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

int readMinTotalOption(int argc, const char *const *argv, long long *minTotal) {
  return readPositiveOption(argc, argv, "min-total", 2147483647,
                            "Illegal argument - min-total must be at most 2147483647", kRunBadMinTotal,
                            minTotal);
}

int readMinEfficiencyOption(int argc, const char *const *argv, long long *minPercent) {
  return readPositiveOption(argc, argv, "min-efficiency", 100,
                            "Illegal argument - min-efficiency must be at most 100", kRunBadMinEfficiency,
                            minPercent);
}

int readBusWidthOption(int argc, const char *const *argv, long long *bits) {
  return readPositiveOption(argc, argv, "bus-width", 65536, "Illegal argument - bus-width must be at most 65536",
                            kRunBadBusWidth, bits);
}

int requestedReportFormat(int argc, const char *const *argv) {
  const bool json = hasOption(argc, argv, "json");
  const bool prometheus = hasOption(argc, argv, "prometheus");
  if (hasOption(argc, argv, "help") || json == prometheus) {
    return kTextReport;
  }
  return json ? kJsonReport : kPrometheusReport;
}

int checkReportFormats(int argc, const char *const *argv) {
  if (hasOption(argc, argv, "json") && hasOption(argc, argv, "prometheus")) {
    rejectOption("Illegal argument - json and prometheus exclude each other");
    return kRunBadFormats;
  }
  return kRunOk;
}

void rejectOption(const char *message) {
  if (textReport()) {
    printf("%s\n", message);
  }
  recordError(kErrorOption, message);
}
