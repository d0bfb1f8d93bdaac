#include "run_record.h"

#include <cuda_runtime_api.h>

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

void recordCudaError(int kind, int status, const char *callText, int callSite) {
  if (runRecord().errorKind != kNoError) {
    return;
  }
  const cudaError_t error = static_cast<cudaError_t>(status);
  recordError(kind, cudaGetErrorString(error));
  RunRecord &record = runRecord();
  record.errorCode = status;
  record.errorName = cudaGetErrorName(error);
  record.errorSite = callSite;
  record.errorCall = callText != nullptr ? callText : "";
}
