#include "run/run_host_copies.h"

#include <cstdio>
#include <cstdlib>

#include "host_copies/host_copy_phase.h"
#include "run/interruption.h"
#include "run/measurements.h"
#include "run/progress.h"
#include "run/run_error.h"
#include "run/run_record.h"
#include "run/run_verify.h"
#include "run/settings.h"
#include "run/stdout_guard.h"

namespace {

// One line a copy, written and flushed as it ends.
void printCopy(const HostCopyRecord &copy) {
  clearProgress();
  const char *name = hostCopyName(copy.direction, copy.memory);
  if (copy.supported) {
    printf("%s\t%.1f MB/s\n", name, static_cast<double>(copy.figure));
  } else {
    printf("%s\tnot supported by this device\n", name);
  }
  flushStandardOutput();
}

// In the machine reports a copy shows only in the record.
void recordOnly(const HostCopyRecord & /*copy*/) {}

}  // namespace

int runHostCopies(uint32_t memSize, const DataCheck *check) {
  HostCopiesRecord &hostCopies = runRecord().hostCopies;
  const HostCopyObserver observer = {beginProgress, tickProgress, textReport() ? printCopy : recordOnly};
  const int status = runHostCopyPhase(memSize, observer, &hostCopies, check != nullptr ? check->record : nullptr);
  clearProgress();
  if (status == kHostCopiesDataDiffers) {
    return failDataCheck(memSize);
  }
  if (status == kHostCopiesStopped) {
    return reportInterruption();
  }
  if (status == kHostCopiesNoHostMemory) {
    failHostAllocation();
  }
  if (status == kHostCopiesBadTimer) {
    char message[256];
    snprintf(message, sizeof message, "the %s gave %g ms for a host copy",
             hostCopies.badTimeFromHostClock ? "host clock" : "GPU timer", static_cast<double>(hostCopies.badMs));
    reportRunError(kErrorTimer, message);
    return kRunBelowMinimum;
  }
  return kRunOk;
}
