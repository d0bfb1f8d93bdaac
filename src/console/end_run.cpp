#include "console/end_run.h"

#include <cstdio>
#include <cstdlib>

#include "console/progress.h"
#include "console/stdout_guard.h"
#include "console/stop_signals.h"
#include "record/run_record.h"

void reportRunError(int kind, const std::string &message, bool errorPrefix) {
  clearProgress();
  flushStandardOutput();
  fprintf(stderr, "%s%s\n", errorPrefix ? "Error: " : "", message.c_str());
  recordError(kind, message);
}

void reportNote(const std::string &message) {
  clearProgress();
  flushStandardOutput();
  fprintf(stderr, "Note: %s\n", message.c_str());
}

int reportInterruption() {
  reportRunError(kErrorInterrupted, std::string("interrupted by ") + stopSignalName(stopSignal));
  return kRunInterrupted;
}

int reportTimerFault(bool hostClock, float ms, const std::string &what) {
  char message[256];
  snprintf(message, sizeof message, "the %s gave %g ms for %s", hostClock ? "host clock" : "GPU timer",
           static_cast<double>(ms), what.c_str());
  reportRunError(kErrorTimer, message);
  return kRunTimerFault;
}

void failHostAllocation() {
  reportRunError(kErrorHostMemory, "Not enough memory avaialable on host to run test!", false);
  exit(EXIT_FAILURE);
}
