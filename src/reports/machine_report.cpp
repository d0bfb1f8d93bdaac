#include "reports/machine_report.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <limits>

double runEfficiency(const RunRecord &record, const Peak &peak) {
  if (!record.copy.done) {
    return std::numeric_limits<double>::quiet_NaN();
  }
  return memoryEfficiency(record.copy.figure, peak);
}

const char *errorKindName(int kind) {
  static const char *const kNames[] = {"",     "option",        "properties",        "prohibited", "host_memory",
                                       "cuda", "below_minimum", "below_efficiency", "unknown_peak",
                                       "timer", "bandwidth_drop", "data", "busy", "interrupted", "cache_sized",
                                       "cpu_threads"};
  return kNames[kind];
}

std::string deviceUuid(const unsigned char *uuid) {
  std::string text = "GPU-";
  for (int i = 0; i < 16; i++) {
    char digits[3];
    snprintf(digits, sizeof digits, "%02x", uuid[i]);
    text += digits;
    if (i == 3 || i == 5 || i == 7 || i == 9) {
      text += '-';
    }
  }
  return text;
}

namespace {

std::string hostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) {
    return "";
  }
  return name;
}

// The instant as the JSON report gives it, UTC to the second.
std::string utcTimestamp(time_t when) {
  struct tm utc = {};
  char text[32] = {};
  if (gmtime_r(&when, &utc) == nullptr || strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc) == 0) {
    return "";
  }
  return text;
}

void writeMachineReport() {
  const RunRecord &record = runRecord();
  // One instant for the run's end, whichever format gives it.
  const time_t now = time(nullptr);
  const std::string report = record.format == kJsonReport
                                 ? renderJsonReport(record, hostName(), utcTimestamp(now))
                                 : renderPrometheusReport(record, static_cast<long long>(now));
  fwrite(report.data(), 1, report.size(), stdout);
}

}  // namespace

void startMachineReport(int format) {
  // The record exists before the handler is registered, so it outlives it.
  runRecord().format = format;
  (void)atexit(writeMachineReport);
}
