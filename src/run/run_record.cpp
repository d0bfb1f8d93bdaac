#include "run/run_record.h"

RunRecord &runRecord() {
  static RunRecord record;
  return record;
}

bool runPassed(const RunRecord &record) {
  return record.completed && record.errorKind == kNoError;
}

bool textReport() {
  return runRecord().format == kTextReport;
}

void recordError(int kind, const std::string &message) {
  RunRecord &record = runRecord();
  if (record.errorKind != kNoError) {
    return;
  }
  record.errorKind = kind;
  record.errorMessage = message;
}

void recordCudaError(int kind, int status, const char *message, const char *name,
                     const char *callText, int callSite) {
  if (runRecord().errorKind != kNoError) {
    return;
  }
  recordError(kind, message);
  RunRecord &record = runRecord();
  record.errorCode = status;
  record.errorName = name;
  record.errorSite = callSite;
  record.errorCall = callText != nullptr ? callText : "";
}
