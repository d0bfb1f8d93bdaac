#include "run/run_verify.h"

#include <cstdio>
#include <cstdlib>

#include "run/measurements.h"
#include "run/run_error.h"
#include "run/run_record.h"
#include "run/settings.h"

DataCheck startChecks(uint32_t memSize, bool sustained) {
  DataCheck check = {&runRecord().verify, nullptr, nullptr};
  check.h_check = static_cast<unsigned char *>(malloc(memSize));
  if (check.h_check == nullptr) {
    failHostAllocation();
  }
  if (sustained) {
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

int failDataCheck(uint32_t memSize) {
  reportRunError(kErrorData, differenceMessage(runRecord().verify, memSize));
  return kRunBelowMinimum;
}

void printVerified() {
  const VerifyRecord &verify = runRecord().verify;
  printf("Verified: %lld read-backs, %llu bytes, no byte differs\n", verify.readBacks,
         static_cast<unsigned long long>(verify.bytes));
}
