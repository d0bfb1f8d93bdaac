#include "run/stdout_guard.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

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
  const int reason = errno != 0 ? errno : EIO;
  fprintf(stderr, "Error: the report could not be written to standard output (%s)\n",
          strerror(reason));
  // exit() is already under way: only _exit can still change the status.
  _exit(EXIT_FAILURE);
}

}  // namespace

void guardStandardOutput() {
  (void)atexit(closeStandardOutput);
}
