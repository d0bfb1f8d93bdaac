#include "run/run_error.h"

#include <cstdio>

#include "run/progress.h"
#include "run/run_record.h"
#include "run/stdout_guard.h"

void reportRunError(int kind, const std::string &message) {
  clearProgress();
  // What was measured stands before the error, in a log of both streams too.
  flushStandardOutput();
  fprintf(stderr, "Error: %s\n", message.c_str());
  recordError(kind, message);
}
