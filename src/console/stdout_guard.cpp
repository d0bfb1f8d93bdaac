#include "console/stdout_guard.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "console/stop_signals.h"

namespace {

// The reason of the first failed flush during the run; 0 for none.
int firstFailure = 0;

// Runs at exit, after the handlers registered later (the runtime's among
// them). Closing the stream writes out what is still buffered and reports a
// failure of that last write as well as of any earlier one.
void closeStandardOutput() {
  const bool failedBefore = ferror(stdout) != 0;
  errno = 0;
  const bool closed = fclose(stdout) == 0;
  if (closed && !failedBefore) {
    return;
  }
  // An earlier failure may have left no errno behind.
  int reason = errno != 0 ? errno : EIO;
  if (firstFailure != 0) {
    reason = firstFailure;
  }
  fprintf(stderr, "Error: the report could not be written to standard output (%s)\n",
          strerror(reason));
  // A stopped run still ends by its signal, which is raised after this.
  if (stopSignal != 0) {
    return;
  }
  // exit() is already under way: only _exit can still change the status.
  _exit(EXIT_FAILURE);
}

}  // namespace

void guardStandardOutput() {
  (void)atexit(closeStandardOutput);
}

void flushStandardOutput() {
  errno = 0;
  if (fflush(stdout) != 0 && firstFailure == 0) {
    firstFailure = errno != 0 ? errno : EIO;
  }
}
