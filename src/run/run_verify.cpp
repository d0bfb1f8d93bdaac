#include "run/run_verify.h"

#include <cstdio>
#include <cstdlib>

#include "console/end_run.h"
#include "record/run_record.h"

DataCheck startChecks(uint32_t memSize, bool pattern) {
  DataCheck check = {&runRecord().verify, nullptr, nullptr};
  check.h_check = static_cast<unsigned char *>(malloc(memSize));
  if (check.h_check == nullptr) {
    failHostAllocation();
  }
  if (pattern) {
    check.h_pattern = static_cast<unsigned char *>(malloc(memSize));
    if (check.h_pattern == nullptr) {
      failHostAllocation();
    }
  }
  return check;
}

void endChecks(const DataCheck &check) {
  free(check.h_check);
  free(check.h_pattern);
}

int failDataCheck() {
  const RunRecord &record = runRecord();
  reportRunError(kErrorData, differenceMessage(record.verify, record.verify.checkedBytes));
  return kRunDataDiffers;
}

void printVerified() {
  const VerifyRecord &verify = runRecord().verify;
  printf("Verified: %lld read-backs, %llu bytes, no byte differs\n", verify.readBacks,
         static_cast<unsigned long long>(verify.bytes));
}
