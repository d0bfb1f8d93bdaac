#include "run/run_host_copies.h"

#include <cstdio>

#include "console/end_run.h"
#include "console/progress.h"
#include "console/stdout_guard.h"
#include "host_copies/host_copy_phase.h"
#include "record/run_record.h"
#include "run/run_verify.h"

namespace {

// The newest copy's line, written and flushed as it ends.
void printCopy() {
  const HostCopyRecord &copy = runRecord().hostCopies.copies.back();
  clearProgress();
  const char *name = hostCopyName(copy.direction, copy.memory);
  if (copy.supported) {
    printf("%s\t%.1f MB/s\n", name, static_cast<double>(copy.figure));
  } else {
    printf("%s\tnot supported by this device\n", name);
  }
  flushStandardOutput();
}

}  // namespace

int runHostCopies(const DataCheck *check) {
  RunRecord &record = runRecord();
  HostCopiesRecord &hostCopies = record.hostCopies;
  const int status = runHostCopyPhase(record.memSize, consoleObserver(printCopy), &hostCopies,
                                      check != nullptr ? check->record : nullptr);
  clearProgress();
  switch (status) {
    case kHostCopiesDataDiffers: return failDataCheck();
    case kHostCopiesStopped: return reportInterruption();
    case kHostCopiesNoHostMemory: failHostAllocation();
    case kHostCopiesBadTimer: return reportTimerFault(hostCopies.badTimeFromHostClock, hostCopies.badMs, "a host copy");
    default: return kRunOk;
  }
}
