#include "record/run_record.h"

RunRecord &runRecord() {
  static RunRecord record;
  return record;
}

Peak runPeak(const RunRecord &record) {
  const BusWidth width = memoryBusWidth(record.integrated, record.busWidthOption, record.board.moduleBusWidthBits,
                                        record.channelBusWidth, record.busWidthBits);
  Known<uint64_t> clockHz;
  if (record.integrated && record.clock.rateSource != nullptr) {
    // The RAM text's rate, read after the measurements; never the runtime's clock.
    clockHz = knownAs(record.clock.rateHz);
  } else if (!record.integrated && record.memoryClockKhz.known) {
    clockHz = knownAs(1000 * static_cast<uint64_t>(record.memoryClockKhz.value));
  }
  return memoryPeak(width, clockHz);
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
